#include "ui/DialogFont.h"

#include <cstring>

void CreateDialogFont(CFont& font, LONG height) {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof lf);
    lf.lfHeight = height;
    std::memcpy(lf.lfFaceName, u"\u5B8B\u4F53", 3 * sizeof(WCHAR));
    font.CreateFontIndirect(&lf);
}
