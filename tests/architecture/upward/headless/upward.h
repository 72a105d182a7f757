#pragma once

// vanelet reaching into the windowed session: the layer check must refuse it.
#include "client/session/sessionclient.h"
