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

TEST_F(Settings, StoredValuesAreReadAtCreationAndAnythingElseGivesTheDefault) {
    makeModel();
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), 650.0);
    EXPECT_FALSE(model->isOverlayTimingDebugHUDEnabled());
    EXPECT_EQ(model->speedUnit(), SpeedUnit::mph);
    EXPECT_EQ(model->lapHudElements(), LapHudElements{});
    EXPECT_EQ(model->videoShape(), VideoShape{});
    EXPECT_FALSE(stored("speedUnit").isValid());  // reading writes nothing

    const auto offset = [&] { return QVariant(model->overlayTimeOffsetMilliseconds()); };
    const auto debug = [&] { return QVariant(model->isOverlayTimingDebugHUDEnabled()); };
    const auto unit = [&] {
        return QVariant(QString::fromUtf8(speedUnitName(model->speedUnit())));
    };
    const auto timer = [&] { return QVariant(model->lapHudElements().timer); };
    const auto map = [&] { return QVariant(model->lapHudElements().map); };
    const auto vertical = [&] { return QVariant(model->videoShape().vertical); };
    const auto follow = [&] { return QVariant(model->videoShape().cropFollowsBends); };
    const struct {
        const char* key;
        QVariant value;
        std::function<QVariant()> read;
        QVariant expected;
    } cases[] = {
        {"overlayTimeOffsetMilliseconds", -120.5, offset, -120.5},
        {"overlayTimeOffsetMilliseconds", " 42 ", offset, 42.0},
        {"overlayTimeOffsetMilliseconds", "fast", offset, 650.0},
        {"overlayTimeOffsetMilliseconds", "12 ms", offset, 650.0},
        {"overlayTimeOffsetMilliseconds", "nan", offset, 650.0},
        {"overlayTimeOffsetMilliseconds", true, offset, 650.0},
        {"overlayTimingDebugHUDEnabled", true, debug, true},
        {"overlayTimingDebugHUDEnabled", "TRUE", debug, true},
        {"overlayTimingDebugHUDEnabled", 1, debug, true},
        {"overlayTimingDebugHUDEnabled", "maybe", debug, false},
        {"overlayTimingDebugHUDEnabled", 2, debug, false},
        {"overlayTimingDebugHUDEnabled", 0.5, debug, false},
        {"speedUnit", "kmh", unit, "kmh"},
        {"speedUnit", " kmh ", unit, "kmh"},
        {"speedUnit", "km/h", unit, "mph"},
        {"speedUnit", "KMH", unit, "mph"},
        {"speedUnit", 1, unit, "mph"},
        {"lapHudTimer", "TRUE", timer, true},
        {"lapHudTimer", "yes", timer, false},
        {"lapHudMap", 1, map, true},
        {"verticalVideo", true, vertical, true},
        {"verticalVideo", 2, vertical, false},
        {"cropFollowsBends", "true", follow, true},
    };
    for (const auto& c : cases) {
        store(c.key, c.value);
        makeModel();
        EXPECT_EQ(c.read(), c.expected) << c.key << " = " << c.value.toString().toStdString();
        store(c.key, QVariant());
    }
}

TEST_F(Settings, EveryAssignmentIsWrittenAndChangesSignalOnce) {
    makeModel();
    QSignalSpy offsetChanges(model.get(), &AppViewModel::overlayTimeOffsetMillisecondsChanged);
    QSignalSpy debugChanges(model.get(), &AppViewModel::isOverlayTimingDebugHUDEnabledChanged);
    QSignalSpy unitChanges(model.get(), &AppViewModel::speedUnitChanged);
    model->setOverlayTimeOffsetMilliseconds(650.0);  // unchanged, yet written
    model->setSpeedUnit(SpeedUnit::mph);
    EXPECT_EQ(stored("overlayTimeOffsetMilliseconds").toDouble(), 650.0);
    EXPECT_EQ(stored("speedUnit").toString(), "mph");
    EXPECT_EQ(offsetChanges.count(), 0);
    EXPECT_EQ(unitChanges.count(), 0);
    model->setOverlayTimeOffsetMilliseconds(-33.333);
    model->setOverlayTimingDebugHUDEnabled(true);
    model->setSpeedUnit(SpeedUnit::kmh);
    QSignalSpy lapChanges(model.get(), &AppViewModel::lapHudElementsChanged);
    QSignalSpy shapeChanges(model.get(), &AppViewModel::videoShapeChanged);
    model->setLapHudElements({.timer = true, .map = true});
    model->setVideoShape({.vertical = true});
    model->setVideoShape({.vertical = true});
    EXPECT_EQ(lapChanges.count(), 1);
    EXPECT_EQ(shapeChanges.count(), 1);
    EXPECT_EQ(stored("lapHudGap").toString(), "false");
    EXPECT_EQ(stored("overlayTimeOffsetMilliseconds").toDouble(), -33.333);
    EXPECT_EQ(stored("overlayTimingDebugHUDEnabled").toString(), "true");
    EXPECT_EQ(stored("speedUnit").toString(), "kmh");
    EXPECT_EQ(offsetChanges.count(), 1);
    EXPECT_EQ(debugChanges.count(), 1);
    EXPECT_EQ(unitChanges.count(), 1);
    // A model created later starts from the written values.
    makeModel();
    EXPECT_EQ(model->overlayTimeOffsetMilliseconds(), -33.333);
    EXPECT_TRUE(model->isOverlayTimingDebugHUDEnabled());
    EXPECT_EQ(model->speedUnit(), SpeedUnit::kmh);
    EXPECT_EQ(model->lapHudElements(), (LapHudElements{.timer = true, .map = true}));
    EXPECT_EQ(model->videoShape(), VideoShape{.vertical = true});
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
