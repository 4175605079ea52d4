// THROUGH: leaves every block as it is.
#pragma once

#include "effects/CBaseEffect.h"

class CThrough : public CBaseEffect {};
