#include "windows/history/history.h"

#include "windows/history/historyfile.h"

#include <algorithm>

std::vector<uint32_t> history;

void addToHistory(uint32_t index)
{
    const auto found = std::find(history.begin(), history.end(), index);
    if (found != history.end())
        history.erase(found);
    history.push_back(index);
    scheduleHistorySave();
}
