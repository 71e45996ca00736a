// One test leaves the process as the test program found it.
//
// The engine keeps module-wide state: the actor system and its class rows,
// the resource library and its base folder, the item loaders and the
// library's hooks, the text table, the random seed, the input, sound and
// film backends, the frame timer, the sleep and save services and the
// collision and script seams. A test that changes any of it and stops
// early (a failed ASSERT, a crash of the fixture's order) would hand it to
// the next test of the same process. ResetProcessForTests puts every piece
// back; test_main installs a listener that runs it after every test, once
// the fixture is gone, so no test writes its own restore for these.
#pragma once

// Records what the process holds now as the state to come back to. Called
// once by test_main, after the engine's classes are installed and before the
// first test.
void RecordProcessStateForTests();

// Puts back what RecordProcessStateForTests recorded.
void ResetProcessForTests();

// Registers the gtest listener that calls ResetProcessForTests after every
// test (and records the state first).
void ResetProcessAfterEveryTest();
