#include "recording/listing_text.h"
