#include "recording/recorder.h"
