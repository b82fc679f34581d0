// Making a translation fit: the room in a cartridge is fixed, and the
// translation runs longer than the original. Standard C++, no Qt; results
// are plain structs, and formatting them for people is the caller's
// (romscriber-dict, the studio).
//
//   fit/item_graph.h           a text's fewest bytes through a table as a
//                              shortest path over the items at each place
//                              (ItemModel, FewestBytes): how the dictionary
//                              scores a piece
//   fit/dictionary.h           a dictionary (DTE/MTE) for a list of texts:
//                              one-byte codes for the pieces that save the
//                              most bytes under the encoder
//                              (ChooseDictionary), the table with them
//                              (EnlargedTable), its lines (TableLines) and
//                              the data the game's routine reads
//                              (DictionaryData)
//   fit/project_dictionary.h   the same over a project session's blocks:
//                              the texts an insertion would encode, bytes
//                              before and after per block
//                              (BuildProjectDictionary)
#pragma once

#include "fit/dictionary.h"
#include "fit/item_graph.h"
#include "fit/project_dictionary.h"
