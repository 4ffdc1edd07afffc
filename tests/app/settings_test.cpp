// The persisted settings, in a settings file of the test's own folder.
#include <QSignalSpy>

#include "app/app_settings.hpp"
#include "tests/app/model_test_support.hpp"

namespace skelder::apptest {
namespace {

class Settings : public ModelTest {
  protected:
    void store(const char* key, const QVariant& value) {
        auto settings = settingsFile();
        settings->setValue(key, value);
        settings->sync();
    }
    // What a fresh reader of the file finds.
    QVariant stored(const char* key) { return settingsFile()->value(key); }
};

TEST_F(Settings, DefaultsWhenNothingIsStored) {
    makeModel();
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), 650.0);
    EXPECT_FALSE(model->isOverlayTimingDebugHUDEnabled());
}

TEST_F(Settings, StoredValuesAreReadAtCreation) {
    store("overlayTimeOffsetMilliseconds", -120.5);
    store("overlayTimingDebugHUDEnabled", true);
    makeModel();
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), -120.5);
    EXPECT_TRUE(model->isOverlayTimingDebugHUDEnabled());
}

TEST_F(Settings, AStoredOffsetThatIsNotANumberGivesTheDefault) {
    for (const QVariant& value :
         {QVariant("fast"), QVariant(""), QVariant("12 ms"), QVariant("nan"), QVariant(true)}) {
        store("overlayTimeOffsetMilliseconds", value);
        makeModel();
        EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), 650.0) << value.toString().toStdString();
    }
}

TEST_F(Settings, AStoredSwitchThatIsNotABooleanGivesTheDefault) {
    for (const QVariant& value : {QVariant("maybe"), QVariant(2), QVariant(0.5)}) {
        store("overlayTimingDebugHUDEnabled", value);
        makeModel();
        EXPECT_FALSE(model->isOverlayTimingDebugHUDEnabled()) << value.toString().toStdString();
    }
    store("overlayTimingDebugHUDEnabled", 1);
    makeModel();
    EXPECT_TRUE(model->isOverlayTimingDebugHUDEnabled());
}

TEST_F(Settings, EveryAssignmentIsWrittenAndChangesSignalOnce) {
    makeModel();
    QSignalSpy offsetChanges(model.get(), &AppViewModel::overlayTimeOffsetMillisecondsChanged);
    QSignalSpy debugChanges(model.get(), &AppViewModel::isOverlayTimingDebugHUDEnabledChanged);

    model->setOverlayTimeOffsetMilliseconds(650.0);  // unchanged, yet written
    EXPECT_EQ(stored("overlayTimeOffsetMilliseconds").toDouble(), 650.0);
    EXPECT_EQ(offsetChanges.count(), 0);

    model->setOverlayTimeOffsetMilliseconds(-33.333);
    model->setOverlayTimingDebugHUDEnabled(true);
    EXPECT_EQ(stored("overlayTimeOffsetMilliseconds").toDouble(), -33.333);
    EXPECT_EQ(stored("overlayTimingDebugHUDEnabled").toString(), "true");
    EXPECT_EQ(offsetChanges.count(), 1);
    EXPECT_EQ(debugChanges.count(), 1);

    // A model created later starts from the written values.
    makeModel();
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), -33.333);
    EXPECT_TRUE(model->isOverlayTimingDebugHUDEnabled());
}

TEST_F(Settings, TheSpeedUnitIsMilesPerHourUntilKilometresPerHourAreStored) {
    makeModel();
    EXPECT_EQ(model->speedUnit(), SpeedUnit::mph);
    EXPECT_FALSE(stored("speedUnit").isValid());  // reading writes nothing

    store("speedUnit", "kmh");
    makeModel();
    EXPECT_EQ(model->speedUnit(), SpeedUnit::kmh);
    store("speedUnit", "mph");
    makeModel();
    EXPECT_EQ(model->speedUnit(), SpeedUnit::mph);
}

TEST_F(Settings, AStoredSpeedUnitOfAnotherNameGivesMilesPerHour) {
    for (const QVariant& value : {QVariant("km/h"), QVariant("KMH"), QVariant("knots"),
                                  QVariant(""), QVariant(1), QVariant(true)}) {
        store("speedUnit", value);
        makeModel();
        EXPECT_EQ(model->speedUnit(), SpeedUnit::mph) << value.toString().toStdString();
    }
}

TEST_F(Settings, TheSpeedUnitIsWrittenOnEveryAssignmentAndReadBackByTheNextModel) {
    makeModel();
    QSignalSpy unitChanges(model.get(), &AppViewModel::speedUnitChanged);
    model->setSpeedUnit(SpeedUnit::mph);  // unchanged, yet written
    EXPECT_EQ(stored("speedUnit").toString(), "mph");
    EXPECT_EQ(unitChanges.count(), 0);

    model->setSpeedUnit(SpeedUnit::kmh);
    EXPECT_EQ(stored("speedUnit").toString(), "kmh");
    EXPECT_EQ(unitChanges.count(), 1);
    // The other settings are left as they were.
    EXPECT_FALSE(stored("overlayTimeOffsetMilliseconds").isValid());

    makeModel();
    EXPECT_EQ(model->speedUnit(), SpeedUnit::kmh);
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), 650.0);
}

TEST_F(Settings, TheOffsetIsNotClampedByTheModel) {
    makeModel();
    model->setOverlayTimeOffsetMilliseconds(5000);
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), 5000.0);
}

// Path keys hold slashes (the settings' own group separator), spaces, backslashes and any
// letter: each recording's line still reads back as its own.
TEST_F(Settings, EachRecordingsLineIsStoredUnderItsOwnPathKey) {
    const std::string odd = "/tmp/track days/\u00fc\\lap 1.mp4", plain = "/tmp/track days/a.mp4";
    writeStartFinishLineSeconds(*settingsFile(), odd, 12.5);
    writeStartFinishLineSeconds(*settingsFile(), plain, 80);
    writeStartFinishLineSeconds(*settingsFile(), odd, std::nullopt);
    EXPECT_FALSE(readStartFinishLineSeconds(*settingsFile(), odd));
    EXPECT_EQ(readStartFinishLineSeconds(*settingsFile(), plain), 80.0);
    EXPECT_FALSE(readStartFinishLineSeconds(*settingsFile(), "/tmp/track days"));
    writeStartFinishLineSeconds(*settingsFile(), odd, 12.5);
    EXPECT_EQ(readStartFinishLineSeconds(*settingsFile(), odd), 12.5);
    store(("startFinishLineSeconds/" + plain).c_str(), "soon");
    EXPECT_FALSE(readStartFinishLineSeconds(*settingsFile(), plain));
}

}  // namespace
}  // namespace skelder::apptest
