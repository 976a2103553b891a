// The whole form framework in one include, for window code.
//
// Writing a window: derive from ui::Form, declare controls and menus as
// members constructed with their parent, lay them out and bind their events
// in the constructor (see form.h). Acting on it in a test: see headless.h.
// Adding a control kind: see backend.h.
#pragma once

#include "platform/ui/application.h"
#include "platform/ui/backend.h"
#include "platform/ui/control.h"
#include "platform/ui/controls.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/form.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"
