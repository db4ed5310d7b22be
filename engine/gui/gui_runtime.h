#pragma once
// The retained GUI runtime: elements, properties, styles, behaviours, events
// and screens.
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/gui_element.h"
#include "engine/gui/gui_event.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/gui_property.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/gui_style.h"
