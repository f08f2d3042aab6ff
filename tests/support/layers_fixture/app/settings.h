#pragma once
#include "components/timer.h"
