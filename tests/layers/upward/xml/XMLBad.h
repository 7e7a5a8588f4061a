// Reaches up: the XML layer must not know the setup model.
#include "setup/CKVChannel.h"
