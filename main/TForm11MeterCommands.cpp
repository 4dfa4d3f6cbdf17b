// The configuration commands of the meters page: baud rate, reset, primary address, ID,
// counter value, medium, unit and relay value, to the selected meter or by broadcast. Each
// checks its input, readies the link, sends one frame and lets Timer_respond take the
// acknowledge (and the read-out that follows it, where the command asks for one).
#include "TForm11.h"

#include "ConversionError.h"
#include "EnableTimer.h"
#include "FrameCodes.h"
#include "InsertionLimit.h"
#include "MainWindowControls.h"
#include "MeterCommandTexts.h"
#include "StringGridView.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace {

constexpr int HighestNewAddress = 250;

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, bool editable)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(editable);
    if (editable)
        c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    return c;
}

} // namespace

// --- building ---

void TForm11::buildCommandControls(QGridLayout* ops, QGridLayout* advanced)
{
    Label33 = label(Group_ops, "Label33", "Set Primary Address to:");
    UD_new_address = upDown(Group_ops, "UD_new_address", "Edit_new_address", 1, HighestNewAddress, false, 72);
    Edit_new_address = UD_new_address->edit();
    Butt_set_address = button(Group_ops, "Butt_set_address", "Set ");
    Label10 = label(Group_ops, "Label10", "Set value to:");
    Edit_liter = lineEdit(Group_ops, "Edit_liter", 8, "0123456789");
    Butt_modify_liters = button(Group_ops, "Butt_modify_liters", "Set");
    Check_value_wendix = new QCheckBox("WDX", Group_ops);
    Check_value_wendix->setObjectName("Check_value_wendix");
    Label12 = label(Group_ops, "Label12", "Set new ID to:");
    Edit_new_id = lineEdit(Group_ops, "Edit_new_id", 8, "0123456789");
    Butt_set_id = button(Group_ops, "Butt_set_id", "Set");
    ops->addWidget(Label33, 1, 0);
    ops->addWidget(UD_new_address, 1, 1);
    ops->addWidget(Butt_set_address, 1, 2);
    ops->addWidget(Label10, 2, 0);
    ops->addWidget(Edit_liter, 2, 1);
    ops->addWidget(Butt_modify_liters, 2, 2);
    ops->addWidget(Check_value_wendix, 2, 3);
    ops->addWidget(Label12, 3, 0);
    ops->addWidget(Edit_new_id, 3, 1);
    ops->addWidget(Butt_set_id, 3, 2);

    Combo_set_baud = combo(Group_advanced, "Combo_set_baud", {"300", "2400", "9600"}, true);
    Combo_set_baud->setCurrentIndex(1);
    InsertionLimit::attach(Combo_set_baud->lineEdit(), 4, "0123456789");
    Combo_medium = combo(Group_advanced, "Combo_medium",
                         {"Electricity", "Water", "Hot water", "Cold water", "H.C.A", "Heat meter", "Cold meter",
                          "Gas", "Oil", "Pressure", "Other"},
                         false);
    Combo_medium->setCurrentIndex(-1);
    Combo_unit = combo(Group_advanced, "Combo_unit", {"l", "Wh", "kJ", "N/A"}, true);
    Combo_constant = combo(Group_advanced, "Combo_constant",
                           {"0.001", "0.01", "0.1", "1", "10", "100", "1000", "10000"}, true);
    Combo_constant->setCurrentIndex(3);
    InsertionLimit::attach(Combo_constant->lineEdit(), 5);
    Check_wendix = new QCheckBox("Relay", Group_advanced);
    Check_wendix->setObjectName("Check_wendix");
    BitBtn19 = button(Group_advanced, "BitBtn19", "Relay unit");
    BitBtn19->hide();
    advanced->addWidget(Combo_set_baud, 0, 1);
    advanced->addWidget(Combo_medium, 1, 1, 1, 2);
    advanced->addWidget(Combo_unit, 2, 1);
    advanced->addWidget(Combo_constant, 2, 2);
    advanced->addWidget(Check_wendix, 3, 0);
    advanced->addWidget(BitBtn19, 3, 1);

    connectClicked(Butt_set_baud, &TForm11::Butt_set_baudClick);
    connectClicked(Butt_reset, &TForm11::Butt_resetClick);
    connectClicked(Butt_set_address, &TForm11::Butt_set_addressClick);
    connectClicked(Butt_set_id, &TForm11::Butt_set_idClick);
    connectClicked(Butt_modify_liters, &TForm11::Butt_modify_litersClick);
    connectClicked(Butt_set_medium, &TForm11::Butt_set_mediumClick);
    connectClicked(Butt_set_unit, &TForm11::Butt_set_unitClick);
    connectClicked(BitBtn19, &TForm11::BitBtn19Click);
    connect(Check_wendix, &QCheckBox::toggled, this, [this] {
        try {
            Check_wendixClick();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
}

// --- the common steps ---

int TForm11::commandTarget() const
{
    if (Check_broadcast->isChecked())
        return Broadcast;
    if (CurAddr == "256")
        return -1;
    // An address outside 0..255 is none: the frame would keep only its low eight bits.
    return MeterAddressNumber(CurAddr);
}

bool TForm11::sendCommand(const std::function<void()>& send)
{
    try {
        send();
        return true;
    } catch (const ConversionError& e) {
        Log.add(std::string("Incorrect value, nothing sent - ") + e.what());
        ReadAfterWrite = false;
        return false;
    }
}

int TForm11::readyCommandTarget()
{
    if (!PrepareLink())
        return -1;
    SearchActive = false;
    return commandTarget();
}

void TForm11::runMeterCommand(bool readAfterWrite, const std::function<void(int target)>& send)
{
    const int target = readyCommandTarget();
    if (target < 0)
        return;   // the link stays readied
    if (readAfterWrite)
        ReadAfterWrite = true;
    if (sendCommand([&] { send(target); }))
        startRespond(RespondUse::OtherExchange);
}

// --- the commands ---

void TForm11::Butt_set_baudClick()
{
    if (refuseWhileBusy())
        return;
    const std::optional<std::uint8_t> ci = BaudRateCi(Text8::fromUnicode(Combo_set_baud->currentText()));
    if (!ci) {
        Log.add("Wrong baud...");
        return;
    }
    runMeterCommand(false, [&](int target) { Frames.SendSetBaud(target, *ci); });
}

void TForm11::Butt_resetClick()
{
    if (refuseWhileBusy())
        return;
    runMeterCommand(false, [&](int target) { Frames.SendApplicationReset(target); });
}

void TForm11::Butt_set_idClick()
{
    if (refuseWhileBusy())
        return;
    const std::string id = Text8::fromUnicode(Edit_new_id->text());
    if (id.size() != 8)
        return;
    runMeterCommand(true, [&](int target) { Frames.SendSetId(target, id); });
}

void TForm11::Butt_modify_litersClick()
{
    if (refuseWhileBusy())
        return;
    const std::string value = Text8::fromUnicode(Edit_liter->text());
    if (value.empty()) {
        Log.add("Liter value is not entered...");
        return;
    }
    runMeterCommand(true, [&](int target) {
        Edit_liter_rel->setText(Text8::toUnicode(value));
        Frames.SendSetLiters(target, CounterValueText(value));
    });
}

void TForm11::Butt_set_mediumClick()
{
    if (refuseWhileBusy())
        return;
    const std::string medium = Text8::fromUnicode(Combo_medium->currentText());
    if (medium.empty()) {
        Log.add("Incomplete data entered to program medium ...");
        return;
    }
    runMeterCommand(true, [&](int target) {
        Frames.SendSetMedium(target, MediumCode(medium), Check_broadcast->isChecked() ? WildcardId : CurId);
    });
}

void TForm11::Butt_set_unitClick()
{
    if (refuseWhileBusy())
        return;
    const std::string unit = Text8::fromUnicode(Combo_unit->currentText());
    if (!IsSettableUnit(unit)) {
        Log.add("Incorrect unit. Allowable units are l,Wh,kJ,N/A...");
        return;
    }
    const int target = readyCommandTarget();
    if (target < 0)
        return;
    if (Check_wendix->isChecked()) {
        relayValueWrite();
        return;
    }
    const std::string medium = Grid_vantrel->grid().cell(TableHasSecMain ? 6 : 5, MeterSelRow);
    const std::uint8_t vif = UnitVifCode(Text8::fromUnicode(Combo_constant->currentText()), unit);
    ReadAfterWrite = true;
    if (sendCommand([&] { Frames.SendSetUnit(target, MediumCode(medium), vif); }))
        startRespond(RespondUse::OtherExchange);
}

// The relay value write (the hidden "Relay unit", reached from Set unit with "Relay").
void TForm11::BitBtn19Click()
{
    if (refuseWhileBusy())
        return;
    relayValueWrite();
}

void TForm11::relayValueWrite()
{
    const std::string unit = Text8::fromUnicode(Combo_unit->currentText());
    const std::string constant = Text8::fromUnicode(Combo_constant->currentText());
    if (unit.empty()) {
        Log.add("Enter unit - l,Wh,kJ,N/A...");
        return;
    }
    if (constant.empty()) {
        Log.add("Enter constant - 0.001,0.01,0.1,1,etc...");
        return;
    }
    if (!PrepareLink())
        return;
    const std::uint8_t vif = UnitVifCode(constant, unit);
    const std::string value = RelayValueField(Text8::fromUnicode(Edit_liter_rel->text()));
    SearchActive = false;
    int target = Broadcast;
    if (!Check_broadcast->isChecked()) {
        if (CurAddr == "256")
            return;
        if (Grid_vantrel->grid().cell(2, MeterSelRow) != "REL") {
            Log.add("This m-bus device is NOT Relay! Skipping...");
            ReadAfterWrite = false;
            return;
        }
        target = MeterAddressNumber(CurAddr);
        if (target < 0)
            return;
    }
    ReadAfterWrite = true;
    if (sendCommand([&] { Frames.SendSetValueVif(target, value, vif); }))
        startRespond(RespondUse::OtherExchange);
}

void TForm11::Check_wendixClick()
{
    const bool relay = Check_wendix->isChecked();
    Edit_new_id->setEnabled(!relay);
    Butt_set_id->setEnabled(!relay);
}

// A new primary address: through a selection by ID (Timer_secondary sends the address to
// 253 after the meter's acknowledge), or by broadcast to 254. While automatic addressing runs,
// every way out that sends nothing hands on to the next meter.
void TForm11::Butt_set_addressClick()
{
    if (refuseWhileBusy())
        return;
    setPrimaryAddress();
}

void TForm11::setPrimaryAddress()
{
    const auto nextMeter = [this] {
        if (AutoAddressing)
            enableTimer(*Timer_auto_address);
    };
    const int address = UD_new_address->value();
    if (address >= 251) {
        Log.add("Incorrect primary address, must be under 251...");
        nextMeter();
        return;
    }
    if (!PrepareLink()) {
        nextMeter();
        return;
    }
    SearchActive = false;
    if (!Check_broadcast->isChecked()) {
        if (CurId.empty()) {
            nextMeter();
            return;
        }
        dropSerialInput();
        SetAddrPending = true;
        Frames.SendSelectById(CurId);
        enableTimer(*Timer_secondary);
        return;
    }
    if (CurAddr == "256") {
        nextMeter();
        return;
    }
    Frames.SendSetPrimary(Broadcast, address);
    startRespond(RespondUse::OtherExchange);
}
