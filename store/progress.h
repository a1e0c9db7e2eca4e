#pragma once

#include <cstdint>

// Where the loader reports how far it has read a file, in per mille. The
// application binds it to the loading window's progress bar; the store itself
// knows no widgets. A null LoadProgress* means that nothing is shown.
class LoadProgress {
public:
    virtual ~LoadProgress();
    virtual void setProgressMaximum(int32_t maximum) = 0;
    virtual void setProgressValue(int32_t value) = 0;
};
