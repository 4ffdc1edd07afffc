#pragma once

// Recordings made by ffmpeg rather than by our sample writer: an engine tone synthesised by
// aevalsrc whose frequency follows a known engine speed curve, delayed by a known amount, mixed
// with anoisesrc road noise and muxed with a test picture; then the recorder's telemetry track
// with the same curve is added.

#include <filesystem>
#include <string>

namespace skelder::testing {

struct EngineToneSpec {
    double seconds = 30;
    int cylinders = 4;  // the tone's fundamental is rpm / 60 x cylinders / 2
    // The engine speed: a saw tooth (pulling through a gear, then the quick drop of the shift) plus
    // a slow swell; both 0 give a constant speed.
    double baseRpm = 3500;
    double gearRpm = 2500;  // rise over one gear
    double gearSeconds = 3.7;
    double shiftSeconds = 0.12;  // the drop of a shift, shorter than a gear
    double swellRpm = 700;
    double swellSeconds = 11;
    double soundDelaySeconds = 0;    // the tone runs this much behind the picture
    double telemetryLagSeconds = 0;  // the telemetry trails the picture by this much
    double toneAmplitude = 0.2;
    std::string noiseColour = "pink";  // anoisesrc's colours: white, pink, brown, ...
    double noiseAmplitude = 0.05;      // 0: no noise
    bool audio = true;
    int sampleRate = 16000;  // of the sound ffmpeg makes (and the AAC track)
    int seed = 1;            // of the noise
};

// The engine speed of the curve at a time of the drive.
double engineToneRpm(const EngineToneSpec& spec, double seconds);

// The telemetry advance that shows the tone's engine speed on the HUD in step with the tone.
// The HUD shows each decisecond's last 50 Hz engine speed value, sent 80 ms into it, at the
// decisecond's start; so the advance is the telemetry lag minus the sound delay minus 80 ms.
double hudAdvanceMilliseconds(const EngineToneSpec& spec);

// Writes the recording (a 64x48 test picture at 30 fps, AAC sound unless spec.audio is false,
// the telemetry track); fails the test when ffmpeg fails.
void makeEngineToneRecording(const std::filesystem::path& file, const EngineToneSpec& spec);

}  // namespace skelder::testing
