// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/OutputTap.h"
#include "services/OutputReferenceSource.h"

#include <QObject>
#include <QString>

#include "models/MeasureFrom.h"

#include <memory>
#include <optional>

namespace kavro::services {

// The output being measured: which one (a chosen one, or the default output followed as
// the user switches it), what its signal becomes in the ear, and its capture. Main thread.
class OutputSource : public QObject {
    Q_OBJECT
public:
    OutputSource(platform::OutputTap& tap, const OutputReferenceSource& references,
                 QObject* parent = nullptr);
    ~OutputSource() override;

    // The output to measure by name; empty follows the default output.
    void setChosenOutput(const QString& name);
    const QString& chosenOutput() const { return m_chosenName; }

    std::optional<QString> connect() { return m_tap.connect(); }
    // The output measured now, if it exists.
    std::optional<platform::OutputDescription> measuredOutput() const;
    OutputReference referenceOf(const platform::OutputDescription& output) const;
    // The default output is headphones or a headset.
    bool headphonesActive() const;

    // The offset that turns the output's weighted dBFS into dB SPL: the reference plus
    // the volume that is not already in its signal (a volume applied by the hardware
    // comes after the monitor); none when nothing reaches the ear (muted, or a hardware
    // volume at zero).
    static std::optional<double> gainDb(const platform::OutputDescription& output,
                                        const OutputReference& reference);
    // Whether the choice in force measures the output: Automatic does while headphones
    // play, and the microphone otherwise.
    static bool measuresOutput(models::MeasureFrom choice, bool headphonesActive);

    // Opens a capture of the measured output in its own channels (empty format when
    // there is none).
    std::unique_ptr<platform::CaptureStream> open(int framesPerBuffer, platform::CaptureCallback callback);

    // Names the output, its port and the basis of its level for a person: "Headphones ·
    // Built-in Audio, estimated level".
    QString basisText() const;

signals:
    // The outputs, their state or the default changed.
    void changed();

private:
    platform::OutputTap& m_tap;
    const OutputReferenceSource& m_references;
    QString m_chosenName;
};

// How a person reads an output: "Built-in Audio · Headphones" (the device, then its port).
QString outputDisplayName(const platform::OutputDescription& output);

} // namespace kavro::services
