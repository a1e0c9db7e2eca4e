#include "store/progress.h"

LoadProgress::~LoadProgress() = default;
