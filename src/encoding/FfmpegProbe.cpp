#include "FfmpegProbe.h"
