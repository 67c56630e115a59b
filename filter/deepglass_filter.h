// The filter the host works with: its settings are one FilterConfig record. The virtual operations
// sit in the v-table positions that ImageFilter fixes; the host calls them by position.
#pragma once

#include "filter_base.h"
#include "filter_config.h"

class DeepglassFilter : public FilterBase {
public:
    DeepglassFilter() = default;
    ~DeepglassFilter() override = default;

    INT_PTR DisplayAbout(HWND parent) override;
    int ShowControl(HWND parent) override;
    int Render(std::uint32_t hostValue) override;
    std::uint32_t EvaluateConfigure() override;
    int LoadConfigure(void* record) override;
    int SaveConfigure(void* buffer) override;
    std::uint32_t ChannelsRequired() override;

    const FilterConfig& Config() const { return config; }

#ifdef _WIN32
    // The control dialog's work on this filter (one dialog at a time in the whole module).
    INT_PTR HandleControlMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void InitControlDialog(HWND dialog);
    void UpdateIdFields(HWND dialog);
    std::int32_t ReadModeButtons(HWND dialog);
    void ReleaseSpinners();
#endif

private:
    FilterConfig config;
};
