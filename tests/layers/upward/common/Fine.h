// The ground floor includes only itself.
#include "common/TextUtils.h"
