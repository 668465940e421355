#include "recording/data_file.h"
