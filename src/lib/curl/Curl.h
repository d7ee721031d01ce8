#pragma once

// Everything of the libcurl wrapper in one include.

#include "Easy.h"
#include "Error.h"
#include "Global.h"
#include "Handler.h"
#include "Slist.h"
