#include "FfmpegTranscoder.h"
