// The sample project's translation that the benches share: most dialogue
// strings of examples/project translated word by word into English (a word
// always the same way), a third of them longer than their originals, the
// menus translated, and the README's two edits. The same every time.
#pragma once

#include "scripts/script.h"

namespace romscriber::bench {

// Fills in the translations of one block's script of the sample project
// (blocks "dialogo" and "menus").
void TranslateSample(BlockScript& script);

}  // namespace romscriber::bench
