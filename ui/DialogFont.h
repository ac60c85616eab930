// The dialogs' font: a LOGFONTW all zero but its height and the face name "宋体".
#pragma once

#include "framework/CFont.h"

void CreateDialogFont(CFont& font, LONG height);
