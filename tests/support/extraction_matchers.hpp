#pragma once

#include <gtest/gtest.h>

#include <string>

#include "telemetry/extraction_error.hpp"

// Runs a statement and checks it fails with exactly this case and message.
#define EXPECT_EXTRACTION_ERROR(statement, expectedCase, expectedMessage)                          \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            ADD_FAILURE() << "expected failure: " << (expectedMessage);                            \
        } catch (const ::skelder::TelemetryExtractionError& error) {                               \
            EXPECT_EQ(std::string(error.what()), std::string(expectedMessage));                    \
            EXPECT_EQ(error.errorCase(), ::skelder::TelemetryExtractionError::Case::expectedCase); \
        }                                                                                          \
    } while (false)

#define EXPECT_DECODE_FAILED(statement, expectedMessage) \
    EXPECT_EXTRACTION_ERROR(statement, decodeFailed, expectedMessage)
