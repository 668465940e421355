#include "recording/listing_printer.h"
