#include "BatchList.h"
