#include "engine/shared/gameobj_funcs.h"

GameObjFuncTable gameobj_func_table;
