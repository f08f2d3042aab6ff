#pragma once
// A lower layer reaching up: what the layering test must refuse.
#include "app/settings.h"
