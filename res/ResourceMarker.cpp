#include "res/ResourceMarker.h"

const ResourceMarker g_HiResAware = {u"CEUX", u"HI_RES_AWARE", 1};
