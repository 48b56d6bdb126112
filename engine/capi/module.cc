// node.so: the engine as a module. Everything lives in the engine library, linked in whole;
// only the entry points of wke.h are exported.
#include "engine/capi/wke.h"
