#pragma once

// A transfer header that reaches up into the windowed session: the layer check must refuse it.
#include "client/session/clientstate.h"
