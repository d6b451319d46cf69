#pragma once
// The six panel resources as data: RegisterPanelResources hands them to the platform layer,
// and tests build each panel from them to check the forms against the control tables.
#include <vector>

#include "platform/platform.h"

namespace ui {

const std::vector<platform::PanelDef>& PanelResources();

}   // namespace ui
