#include "MediaFixtures.h"
