#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The controller's two forms of a program step. The host downloads a step as
// its transmission text ("AGO:A1000|AGO:B-5"); the controller uploads it as
// a line of fixed-width parts ("AGO:A+00001000|AGO:B-00000005"), numbers
// written with a sign and leading zeros. Texts are bytes: free texts may hold
// code page 932 characters, which pass through unchanged.
class StepFormat
{
public:
    // The upload line of a transmission text, converted part by part;
    // nothing when the text is not a step the controller takes (an unknown
    // command, a malformed field, a number too wide for its field, more than
    // three parts).
    static std::optional<QByteArray> uploadLine(QByteArrayView stepText);
};
