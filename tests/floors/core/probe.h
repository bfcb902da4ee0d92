// A core header that reaches up to a widget header relative to itself:
// tools/check-floors must name it (Floors.RelativeUpwardIncludeIsCaught).
#pragma once

#include "../widgets/probe.h"
