#include "FakeEncoderEngine.h"
