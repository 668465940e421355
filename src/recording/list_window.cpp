#include "recording/list_window.h"
