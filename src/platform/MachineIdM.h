// The identifier of this computer, as the system keeps it.
#pragma once

#include <string>

// The first line of /etc/machine-id (else /var/lib/dbus/machine-id), without its line end;
// empty when neither can be read or the line is empty.
std::string MachineIdM_Read();
