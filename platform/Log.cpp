// The programs' log category.
#include "Log.h"

Q_LOGGING_CATEGORY(lcPinboa, "pinboa")
