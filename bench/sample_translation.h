// The sample project's translation that the benches share: most dialogue
// strings of examples/project translated word by word into English (a word
// always the same way), a third of them longer than their originals, the
// menus translated, and the README's two edits. The same every time. With
// it, TranslateBlocks: a translation of one block's script given to every
// block of a session.
#pragma once

#include <utility>

#include "scripts/script.h"
#include "session/session.h"

namespace romscriber::bench {

// Fills in the translations of one block's script of the sample project
// (blocks "dialogo" and "menus").
void TranslateSample(BlockScript& script);

// Gives every block of `session` its translation: `translate` fills in a
// script of the block's strings, which the block then holds.
template <class Translate>
void TranslateBlocks(Session& session, Translate&& translate) {
  for (SessionBlock& block : session.Blocks()) {
    BlockScript script{block.Settings->Name, block.Strings, {}};
    translate(script);
    block.Strings = std::move(script.Strings);
  }
}

}  // namespace romscriber::bench
