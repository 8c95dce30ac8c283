// The program's side of the macro player: the typing operations, the
// foreground and the word-list menu, handed down to the
// recognition floor at start-up (setMacroLink(&inkMacroLink())).
#pragma once

#include "recognition/Macro.h"

MacroLink& inkMacroLink();
