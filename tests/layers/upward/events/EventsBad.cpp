// Reaches sideways: events and setup share a rank.
#include "common/TextUtils.h"
#include "setup/TextUtils.h"
