// The programs' log category.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Log.h"

Q_LOGGING_CATEGORY(lcPinboa, "pinboa")
