#pragma once

#include <wx/window.h>

#include "resources/resource_tables.h"
#include "shell/host.h"

namespace puzzle {

// Builds a dialog from its template and runs it modally over owner, handing its messages
// to the procedure; answers the result the procedure ended it with.
intptr_t RunTemplateDialog(wxWindow* owner, const DialogSpec& spec, DialogProcedure procedure);

}  // namespace puzzle
