#include "TestContext.h"
