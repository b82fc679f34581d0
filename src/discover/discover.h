// Discovery: what a translation needs when a game gives nothing away, from a
// ROM and a word seen on screen to a table, the strings, and a project block
// with its pointer table. Standard C++, no Qt; results are plain structs, and
// formatting them for people is the caller's (romscriber-find, the studio).
//
//   discover/search_control.h   SearchControl: a stop flag and a progress
//                               callback for the long searches, which the
//                               studio runs off its interface thread
//   discover/relative.h         relative search: LetterClass, the word's
//                               letters (ParseRelativeQuery), the offsets
//                               where values keep the letters' distances
//                               (FindRelative), a table from one hit
//                               (RelativeTableText)
//   discover/text_search.h      text finding: strings of ordinary entries
//                               closed by an end token (FindTexts), shown
//                               as project dumps show them (ProjectStyle)
//   discover/pointer_search.h   pointer-table discovery: the maps tried
//                               (StandardMaps, MapLabel), the ranked runs of
//                               pointers reaching the targets
//                               (FindPointerTables), a candidate as a project
//                               [[block]] (BlockStanza), a targets file
//                               (ParseTargets)
#pragma once

#include "discover/pointer_search.h"
#include "discover/relative.h"
#include "discover/search_control.h"
#include "discover/text_search.h"
