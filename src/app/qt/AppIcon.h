// AppIcon: icon 128, the program's icon at 32×32 and 16×16, from the resources.
// GUI thread only. An icon whose images are missing is null, never an error.
#pragma once

#include <QIcon>

namespace keltrove {

QIcon AppIcon();

}  // namespace keltrove
