#pragma once

#include "MeterRowUpdate.h"

class TForm11;

// The main window as the meter-row update sees it: its flags, its selected meter, the report
// window and the clock. A separate object, as the update's method names are the window's
// field names.
class MeterTableOwner : public MeterRowOwner {
public:
    explicit MeterTableOwner(TForm11& form) : form_(form) {}

    bool SearchActive() const override;
    bool MatchById() const override;
    int TitleCount() const override;
    bool SecMainShown() const override;
    void setCurrentDevice(const std::string& curId, const std::string& curAddr) override;
    void ShowCurrentDevice() override;
    void addReportLine(const std::string& line) override;
    void showReport() override;
    void clearFullReportMode() override;
    DecodedAt decodedAt() override;

private:
    TForm11& form_;
};
