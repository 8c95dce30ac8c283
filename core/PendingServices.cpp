// Defaults of the services other subsystems build (see PendingServices.h).
// Each owner moves the operations it builds out of this file.
#include "PendingServices.h"

#include "ServiceState.h"

void chooseProfileForLastFocus(const wchar_t*) {}

