// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kavro::platform {

// One port of an output device (a jack, a built-in speaker, a headset profile).
struct OutputPort {
    QString name;
    QString description;
    bool operator==(const OutputPort&) const = default;
};

// One output device as the sound server describes it, with the state that decides what
// its signal becomes in the ear.
struct OutputDescription {
    QString name;        // the server's name for the device (stable across launches)
    QString description; // what a person reads, e.g. "Built-in Audio Analog Stereo"
    QString activePort;  // the active port's name; empty when the device has no ports
    QString activePortDescription;
    QList<OutputPort> ports;
    int channelCount = 0;
    double sampleRate = 0;
    // The loudest channel's volume: as a fraction of 100 % and in dB (-inf at zero).
    double volumeFraction = 1.0;
    double volumeDb = 0.0;
    bool muted = false;
    // The volume is applied by the hardware after the monitor, so the monitor does not
    // carry it.
    bool hardwareVolume = false;
    // Headphones or a headset, guessed from the active port and the device's form factor.
    bool headphones = false;
    bool isDefault = false;

    // Names the device and its active port together, so that the next launch finds the
    // same pair again.
    QString key() const { return name + QLatin1Char('#') + activePort; }
    bool operator==(const OutputDescription&) const = default;
};

// What goes to the outputs: their list and state, and a capture of one output's signal
// (its monitor). Every member is used on the main thread.
class OutputTap {
public:
    virtual ~OutputTap() = default;

    // Connects to the sound server when not connected; nullopt once connected, else
    // why not, in the program's words.
    virtual std::optional<QString> connect() = 0;
    virtual QList<OutputDescription> outputs() const = 0;

    // Opens (does not start) a capture of the named output's signal in its own channels:
    // the callback receives interleaved buffers of framesPerBuffer frames of
    // format().channelCount channels. The stream never moves to another output and
    // changes nothing in what the user hears; when the output goes away it reports a
    // configuration change. reopen() looks the output up again (the channel is ignored).
    // Never null; an unknown output gives a stream whose format is empty.
    virtual std::unique_ptr<CaptureStream> openOutputCapture(const QString& outputName, int framesPerBuffer,
                                                             CaptureCallback callback) = 0;

    // Called on the main thread after the outputs, their state or the default changed,
    // and after the connection to the server was lost or made again.
    std::function<void()> onOutputsChanged;
};

// The default output of a list, if any.
inline std::optional<OutputDescription> defaultOutputOf(const QList<OutputDescription>& outputs) {
    for (const OutputDescription& output : outputs) {
        if (output.isDefault) {
            return output;
        }
    }
    return std::nullopt;
}

} // namespace kavro::platform
