// The wire schemas as compiled into the core library, checked node by node
// against their fixed layout: a peer built from the same schema text must
// read every byte where we write it. The walk starts from the generated types
// and follows field types, groups, brands and method parameters, so a struct
// added to a schema without a row below fails the test as well.

#include <capnp/dynamic.h>
#include <capnp/message.h>
#include <capnp/schema.h>
#include <capnp/serialize.h>
#include <gtest/gtest.h>
#include <kj/string.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "protocol/schemas/common/complex.capnp.h"
#include "protocol/schemas/common/error.capnp.h"
#include "protocol/schemas/common/hello_msg.capnp.h"
#include "protocol/schemas/common/kwargs.capnp.h"
#include "protocol/schemas/common/lyr_vectors.capnp.h"
#include "protocol/schemas/common/result.capnp.h"
#include "protocol/schemas/common/value.capnp.h"
#include "protocol/schemas/orchestrator/orchestrator.capnp.h"
#include "protocol/schemas/reflection/reflection.capnp.h"
#include "protocol/schemas/session/session_protocol.capnp.h"
#include "protocol/schemas/streaming/streaming.capnp.h"

namespace {

constexpr std::string_view kSchemaDirectory = "protocol/schemas/";

struct FieldRow {
  std::string_view name;
  int ordinal;  // -1: a group (no ordinal)
  std::string_view type;
  std::string_view position;
  std::string_view defaultValue;  // empty: no explicit default
  int unionTag;                   // -1: not a union member
};

struct StructRow {
  std::string_view file;
  std::string_view name;
  uint64_t id;
  unsigned dataWords;
  unsigned pointers;
  unsigned unionMembers;
  unsigned discriminantByte;
  std::vector<FieldRow> fields;
};

const std::vector<StructRow>& structTable() {
  static const std::vector<StructRow> table = {
    {"common/complex", "Complex", 0xaaf1afaf97b4b157, 2, 0, 0, 0,
     {
         {"real", 0, "Float64", "bits 0-63", "", -1},
         {"imag", 1, "Float64", "bits 64-127", "", -1},
     }},
    {"common/error", "Error", 0xc4e34e4c517d11d9, 1, 3, 0, 0,
     {
         {"code", 0, "UInt32", "bits 0-31", "", -1},
         {"message", 1, "Text", "pointer 0", "", -1},
         {"category", 2, "Text", "pointer 1", "", -1},
         {"kind", 3, "ErrorKind", "bits 32-47", "unknown", -1},
         {"source", 4, "Text", "pointer 2", "", -1},
     }},
    {"common/hello_msg", "HelloMsg", 0xd62994dbff882318, 1, 2, 0, 0,
     {
         {"kind", 0, "HelloMsg.Kind", "bits 0-15", "", -1},
         {"protocol", 1, "HelloMsg.Protocol", "bits 16-31", "capnp", -1},
         {"schema", 2, "Text", "pointer 0", "", -1},
         {"pvVer", 3, "Text", "pointer 1", "", -1},
     }},
    {"common/kwargs", "Kwargs", 0x8f25ce07a664cee0, 0, 1, 0, 0,
     {
         {"entries", 0, "List(Kwargs.Entry)", "pointer 0", "", -1},
     }},
    {"common/kwargs", "Kwargs.Entry", 0xa2644e6fd3dc2553, 0, 2, 0, 0,
     {
         {"key", 0, "Text", "pointer 0", "", -1},
         {"value", 1, "Value", "pointer 1", "(none = ())", -1},
     }},
    {"common/result", "Result", 0xbab0f33e1934323d, 1, 1, 2, 0,
     {
         {"ok", 0, "Type", "pointer 0", "", 0},
         {"err", 1, "Error", "pointer 0", "", 1},
     }},
    {"common/value", "AnnotatedValue", 0xf408ee376e837cdc, 0, 2, 0, 0,
     {
         {"metadata", 0, "AnnotatedValue.Metadata", "pointer 0", "", -1},
         {"value", 1, "Value", "pointer 1", "", -1},
     }},
    {"common/value", "AnnotatedValue.Metadata", 0xad53d8ca57af3018, 1, 1, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"path", 1, "Text", "pointer 0", "", -1},
     }},
    {"common/value", "CntSample", 0xe9370bd8287d6065, 2, 0, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"counter", 1, "Int32", "bits 64-95", "", -1},
         {"trigger", 2, "UInt32", "bits 96-127", "", -1},
     }},
    {"common/value", "LargeVectorData", 0xd948f7b09959b00a, 1, 1, 0, 0,
     {
         {"valueType", 0, "UInt16", "bits 0-15", "", -1},
         {"vectorElementType", 1, "UInt8", "bits 16-23", "", -1},
         {"extraHeaderInfo", 2, "UInt32", "bits 32-63", "", -1},
         {"dataSegments", 3, "List(Data)", "pointer 0", "", -1},
     }},
    {"common/value", "TriggerSample", 0xdeb72097c27d0d95, 5, 0, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"sampleTick", 1, "UInt64", "bits 64-127", "", -1},
         {"trigger", 2, "UInt32", "bits 128-159", "", -1},
         {"missedTriggers", 3, "UInt32", "bits 160-191", "", -1},
         {"awgTrigger", 4, "UInt32", "bits 192-223", "", -1},
         {"dio", 5, "UInt32", "bits 224-255", "", -1},
         {"sequenceIndex", 6, "UInt32", "bits 256-287", "", -1},
     }},
    {"common/value", "Value", 0xb1838b4771be75ac, 2, 1, 22, 8,
     {
         {"int64", 0, "Int64", "bits 0-63", "", 0},
         {"double", 1, "Float64", "bits 0-63", "", 1},
         {"complex", 2, "Complex", "pointer 0", "", 2},
         {"string", 3, "Text", "pointer 0", "", 3},
         {"vectorData", 4, "VectorData", "pointer 0", "", 4},
         {"cntSample", 5, "CntSample", "pointer 0", "", 5},
         {"triggerSample", 6, "TriggerSample", "pointer 0", "", 6},
         {"none", 7, "VoidStruct", "pointer 0", "", 7},
         {"streamingError", 8, "Error", "pointer 0", "", 8},
         {"lyrDemodData", 9, "LyrDemodulatorVectorData", "pointer 0", "", 9},
         {"lyrResultLoggerData", 10, "LyrResultLoggerVectorData", "pointer 0", "", 10},
         {"vectorCntSamples", 11, "List(CntSample)", "pointer 0", "", 11},
         {"vectorTriggerSamples", 12, "List(TriggerSample)", "pointer 0", "", 12},
         {"largeVectorData", 13, "LargeVectorData", "pointer 0", "", 13},
         {"bool", 14, "Bool", "bit 0", "", 14},
         {"lyrScopeData", 15, "LyrScopeVectorData", "pointer 0", "", 15},
         {"lyrGeneratorWaveformData", 16, "LyrGeneratorWaveformVectorData", "pointer 0", "", 16},
         {"lyrPidData", 17, "LyrPidVectorData", "pointer 0", "", 17},
         {"lyrBoxcarData", 18, "LyrBoxcarVectorData", "pointer 0", "", 18},
         {"scopeWaveEx", 19, "KSScopeWaveEx", "pointer 0", "", 19},
         {"demodSample", 20, "KSDemodSample", "pointer 0", "", 20},
         {"vectorDemodSamples", 21, "List(KSDemodSample)", "pointer 0", "", 21},
     }},
    {"common/value", "VectorData", 0x994c65b80df38978, 1, 1, 0, 0,
     {
         {"valueType", 0, "UInt16", "bits 0-15", "", -1},
         {"vectorElementType", 1, "UInt8", "bits 16-23", "", -1},
         {"extraHeaderInfo", 2, "UInt32", "bits 32-63", "", -1},
         {"data", 3, "Data", "pointer 0", "", -1},
     }},
    {"common/value", "VoidStruct", 0xdf7fe8e981437816, 0, 0, 0, 0,
     {
     }},
    {"common/value", "KSDemodSample", 0xf9eb207516c74e77, 8, 0, 0, 0,
     {
         {"timeStamp", 0, "UInt64", "bits 0-63", "", -1},
         {"x", 1, "Float64", "bits 64-127", "", -1},
         {"y", 2, "Float64", "bits 128-191", "", -1},
         {"frequency", 3, "Float64", "bits 192-255", "", -1},
         {"phase", 4, "Float64", "bits 256-319", "", -1},
         {"dioBits", 5, "UInt32", "bits 320-351", "", -1},
         {"trigger", 6, "UInt32", "bits 352-383", "", -1},
         {"auxIn0", 7, "Float64", "bits 384-447", "", -1},
         {"auxIn1", 8, "Float64", "bits 448-511", "", -1},
     }},
    {"common/value", "KSScopeWaveEx", 0x9767f665fee071ce, 8, 7, 0, 0,
     {
         {"timeStamp", 0, "UInt64", "bits 0-63", "", -1},
         {"triggerTimeStamp", 1, "UInt64", "bits 64-127", "", -1},
         {"dt", 2, "Float64", "bits 128-191", "", -1},
         {"channelEnable", 3, "List(UInt8)", "pointer 0", "", -1},
         {"channelInput", 4, "List(UInt8)", "pointer 1", "", -1},
         {"triggerEnable", 5, "UInt8", "bits 192-199", "", -1},
         {"triggerInput", 6, "UInt8", "bits 200-207", "", -1},
         {"channelBwLimit", 7, "List(UInt8)", "pointer 2", "", -1},
         {"channelMath", 8, "List(UInt8)", "pointer 3", "", -1},
         {"channelScaling", 9, "List(Float32)", "pointer 4", "", -1},
         {"sequenceNumber", 10, "UInt32", "bits 224-255", "", -1},
         {"segmentNumber", 11, "UInt32", "bits 256-287", "", -1},
         {"blockNumber", 12, "UInt32", "bits 288-319", "", -1},
         {"totalSamples", 13, "UInt64", "bits 320-383", "", -1},
         {"dataTransferMode", 14, "UInt8", "bits 208-215", "", -1},
         {"blockMarker", 15, "UInt8", "bits 216-223", "", -1},
         {"flags", 16, "UInt8", "bits 384-391", "", -1},
         {"sampleFormat", 17, "UInt8", "bits 392-399", "", -1},
         {"sampleCount", 18, "UInt32", "bits 416-447", "", -1},
         {"channelOffset", 19, "List(Float64)", "pointer 5", "", -1},
         {"totalSegments", 20, "UInt32", "bits 448-479", "", -1},
         {"data", -1, "group(KSScopeWaveEx.data)", "", "", -1},
     }},
    {"common/value", "KSScopeWaveEx.data", 0xfeb5e2c77392eb9f, 8, 7, 3, 50,
     {
         {"dataInt16", 21, "List(Int16)", "pointer 6", "", 0},
         {"dataInt32", 22, "List(Int32)", "pointer 6", "", 1},
         {"dataFloat", 23, "List(Float32)", "pointer 6", "", 2},
     }},
    {"common/lyr_vectors", "LyrBoxcarVectorData", 0xaa617b23810823ed, 11, 2, 0, 0,
     {
         {"properties", -1, "group(LyrBoxcarVectorData.properties)", "", "", -1},
         {"timestamp", 16, "List(UInt64)", "pointer 0", "", -1},
         {"value", 17, "List(Float64)", "pointer 1", "", -1},
     }},
    {"common/lyr_vectors", "LyrBoxcarVectorData.properties", 0x82d28e65e85c793a, 11, 2, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"burstLength", 1, "UInt32", "bits 64-95", "", -1},
         {"burstOffset", 2, "UInt32", "bits 96-127", "", -1},
         {"triggerIndex", 3, "UInt32", "bits 128-159", "", -1},
         {"triggerTimestamp", 4, "UInt64", "bits 192-255", "", -1},
         {"scaling", 5, "Float64", "bits 256-319", "", -1},
         {"windowStart", 6, "Float64", "bits 320-383", "", -1},
         {"windowDelay", 7, "Float64", "bits 384-447", "", -1},
         {"blsWindowStart", 8, "Float64", "bits 448-511", "", -1},
         {"blsWindowDelay", 9, "Float64", "bits 512-575", "", -1},
         {"windowWidth", 10, "Float64", "bits 576-639", "", -1},
         {"periodCount", 11, "UInt32", "bits 160-191", "", -1},
         {"blsEnable", 12, "UInt8", "bits 640-647", "", -1},
         {"refSelect", 13, "UInt8", "bits 648-655", "", -1},
         {"sigSrc", 14, "UInt8", "bits 656-663", "", -1},
         {"trigSrc", 15, "UInt8", "bits 664-671", "", -1},
     }},
    {"common/lyr_vectors", "LyrDemodulatorVectorData", 0x9b03e3e3e6006582, 8, 2, 0, 0,
     {
         {"properties", -1, "group(LyrDemodulatorVectorData.properties)", "", "", -1},
         {"x", 13, "List(Float64)", "pointer 0", "", -1},
         {"y", 14, "List(Float64)", "pointer 1", "", -1},
     }},
    {"common/lyr_vectors", "LyrDemodulatorVectorData.properties", 0xd475786ca25c300d, 8, 2, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"dt", 1, "UInt64", "bits 64-127", "", -1},
         {"burstLength", 2, "UInt32", "bits 128-159", "", -1},
         {"burstOffset", 3, "UInt32", "bits 160-191", "", -1},
         {"triggerIndex", 4, "UInt32", "bits 192-223", "", -1},
         {"triggerTimestamp", 5, "UInt64", "bits 256-319", "", -1},
         {"centerFreq", 6, "Float64", "bits 320-383", "", -1},
         {"rfPath", 7, "Bool", "bit 224", "", -1},
         {"oscillatorSource", 8, "UInt16", "bits 240-255", "", -1},
         {"harmonic", 9, "UInt16", "bits 384-399", "", -1},
         {"triggerSource", 10, "UInt8", "bits 232-239", "", -1},
         {"signalSource", 11, "UInt16", "bits 400-415", "", -1},
         {"oscillatorFreq", 12, "Float64", "bits 448-511", "", -1},
     }},
    {"common/lyr_vectors", "LyrGeneratorWaveformVectorData", 0xedcfe06e81c4f3d0, 0, 1, 0, 0,
     {
         {"complex", 0, "List(Complex)", "pointer 0", "", -1},
     }},
    {"common/lyr_vectors", "LyrPidVectorData", 0xff6ee171549a2870, 8, 2, 0, 0,
     {
         {"properties", -1, "group(LyrPidVectorData.properties)", "", "", -1},
         {"value", 13, "List(Float64)", "pointer 0", "", -1},
         {"error", 14, "List(Float64)", "pointer 1", "", -1},
     }},
    {"common/lyr_vectors", "LyrPidVectorData.properties", 0x9be09d0677995544, 8, 2, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"timestampDiff", 1, "UInt64", "bits 64-127", "", -1},
         {"burstLength", 2, "UInt32", "bits 128-159", "", -1},
         {"burstOffset", 3, "UInt32", "bits 160-191", "", -1},
         {"triggerIndex", 4, "UInt32", "bits 192-223", "", -1},
         {"triggerTimestamp", 5, "UInt64", "bits 256-319", "", -1},
         {"centerPoint", 6, "Float64", "bits 320-383", "", -1},
         {"inputChannel", 7, "UInt8", "bits 224-231", "", -1},
         {"input", 8, "UInt8", "bits 232-239", "", -1},
         {"outputChannel", 9, "UInt8", "bits 240-247", "", -1},
         {"output", 10, "UInt8", "bits 248-255", "", -1},
         {"triggerSrc", 11, "UInt8", "bits 384-391", "", -1},
         {"setPoint", 12, "Float64", "bits 448-511", "", -1},
     }},
    {"common/lyr_vectors", "LyrResultLoggerVectorData", 0xbba061f579761ddd, 9, 1, 0, 0,
     {
         {"properties", -1, "group(LyrResultLoggerVectorData.properties)", "", "", -1},
         {"vector", -1, "group(LyrResultLoggerVectorData.vector)", "", "", -1},
     }},
    {"common/lyr_vectors", "LyrResultLoggerVectorData.properties", 0xddb7b421ea0eec5e, 9, 1, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"jobId", 1, "UInt32", "bits 64-95", "", -1},
         {"repetitionId", 2, "UInt32", "bits 96-127", "", -1},
         {"scaling", 3, "Float64", "bits 128-191", "", -1},
         {"centerFrequency", 4, "Float64", "bits 192-255", "", -1},
         {"dataSource", 5, "UInt32", "bits 256-287", "", -1},
         {"numSamples", 6, "UInt32", "bits 288-319", "", -1},
         {"numSpectrSamples", 7, "UInt32", "bits 320-351", "", -1},
         {"numAverages", 8, "UInt32", "bits 352-383", "", -1},
         {"numAcquired", 9, "UInt32", "bits 384-415", "", -1},
         {"holdoffErrorsReslog", 10, "UInt16", "bits 416-431", "", -1},
         {"holdoffErrorsReadout", 11, "UInt16", "bits 432-447", "", -1},
         {"holdoffErrorsSpectr", 12, "UInt16", "bits 448-463", "", -1},
         {"firstSampleTimestamp", 13, "UInt64", "bits 512-575", "", -1},
     }},
    {"common/lyr_vectors", "LyrResultLoggerVectorData.vector", 0x980b68b5449bdf12, 9, 1, 2, 58,
     {
         {"real", 14, "List(Float64)", "pointer 0", "", 0},
         {"complex", 15, "List(Complex)", "pointer 0", "", 1},
     }},
    {"common/lyr_vectors", "LyrScopeVectorData", 0xa9b07f1f82a93bc9, 9, 1, 0, 0,
     {
         {"properties", -1, "group(LyrScopeVectorData.properties)", "", "", -1},
         {"vector", -1, "group(LyrScopeVectorData.vector)", "", "", -1},
     }},
    {"common/lyr_vectors", "LyrScopeVectorData.properties", 0xd707b876f9608924, 9, 1, 0, 0,
     {
         {"timestamp", 0, "UInt64", "bits 0-63", "", -1},
         {"timestampDiff", 1, "UInt32", "bits 64-95", "", -1},
         {"flags", 2, "UInt32", "bits 96-127", "", -1},
         {"scaling", 3, "Float64", "bits 128-191", "", -1},
         {"centerFrequency", 4, "Float64", "bits 192-255", "", -1},
         {"triggerTimestamp", 5, "UInt64", "bits 256-319", "", -1},
         {"inputSelect", 6, "UInt32", "bits 320-351", "", -1},
         {"averageCount", 7, "UInt32", "bits 352-383", "", -1},
         {"numSegments", 8, "UInt32", "bits 384-415", "", -1},
         {"numTotalSegments", 9, "UInt32", "bits 416-447", "", -1},
         {"firstSegmentIndex", 10, "UInt32", "bits 448-479", "", -1},
         {"numMissedTriggers", 11, "UInt32", "bits 480-511", "", -1},
     }},
    {"common/lyr_vectors", "LyrScopeVectorData.vector", 0xd10aab878c8e14bc, 9, 1, 2, 64,
     {
         {"real", 12, "List(Float64)", "pointer 0", "", 0},
         {"complex", 13, "List(Complex)", "pointer 0", "", 1},
     }},
    {"reflection/reflection", "CapSchema", 0xcb31ef7a76eb85cf, 1, 1, 0, 0,
     {
         {"typeId", 0, "UInt64", "bits 0-63", "", -1},
         {"theSchema", 1, "List(Node)", "pointer 0", "", -1},
     }},
    {"reflection/reflection", "Reflection.getReflectionVersion$Params", 0xe3e32fd4d93c1199, 0, 0, 0, 0,
     {
     }},
    {"reflection/reflection", "Reflection.getReflectionVersion$Results", 0xfb31a67fd905411a, 0, 1, 0, 0,
     {
         {"version", 0, "Text", "pointer 0", "", -1},
     }},
    {"reflection/reflection", "Reflection.getTheSchema$Params", 0x86a77be57bfa08f7, 0, 0, 0, 0,
     {
     }},
    {"reflection/reflection", "Reflection.getTheSchema$Results", 0xc9db2193e1883dd1, 0, 1, 0, 0,
     {
         {"theSchema", 0, "CapSchema", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.cancel$Params", 0xb77c3d30c74311fc, 0, 1, 0, 0,
     {
         {"client", 0, "Data", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.deprecatedGetValues$Params", 0xcd242e1bb990dfe7, 0, 2, 0, 0,
     {
         {"paths", 0, "List(Text)", "pointer 0", "", -1},
         {"client", 1, "Data", "pointer 1", "empty", -1},
     }},
    {"session/session_protocol", "Session.deprecatedGetValues$Results", 0xe948518c129575bb, 0, 1, 0, 0,
     {
         {"result", 0, "List(Result(AnnotatedValue, Error))", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.deprecatedSetValue$Params", 0xa8f6fded40f38065, 1, 2, 0, 0,
     {
         {"path", 0, "Text", "pointer 0", "", -1},
         {"value", 1, "Value", "pointer 1", "", -1},
         {"completeWhen", 2, "ReturnFromSetWhen", "bits 0-15", "deviceAck", -1},
     }},
    {"session/session_protocol", "Session.deprecatedSetValue$Results", 0x8aef0146a9595df9, 0, 1, 0, 0,
     {
         {"result", 0, "Result(VoidStruct, Error)", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.deprecatedSetValue2$Params", 0xdae05cd32680aba1, 1, 3, 0, 0,
     {
         {"path", 0, "Text", "pointer 0", "", -1},
         {"value", 1, "Value", "pointer 1", "", -1},
         {"completeWhen", 2, "ReturnFromSetWhen", "bits 0-15", "deviceAck", -1},
         {"client", 3, "Data", "pointer 2", "empty", -1},
     }},
    {"session/session_protocol", "Session.deprecatedSetValue2$Results", 0xfd47648e56c0e689, 0, 1, 0, 0,
     {
         {"result", 0, "Result(AnnotatedValue, Error)", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.disconnectDevice$Params", 0xe682e60b2cd90782, 0, 0, 0, 0,
     {
     }},
    {"session/session_protocol", "Session.getSessionVersion$Params", 0xd77d14cf14b3405a, 0, 0, 0, 0,
     {
     }},
    {"session/session_protocol", "Session.getSessionVersion$Results", 0xcc68434da57cf6b3, 0, 1, 0, 0,
     {
         {"version", 0, "Text", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.getValue$Params", 0xc5e872236cc4917b, 1, 2, 0, 0,
     {
         {"pathExpression", 0, "Text", "pointer 0", "", -1},
         {"lookupMode", 1, "LookupMode", "bits 0-15", "directLookup", -1},
         {"flags", 2, "UInt32", "bits 32-63", "0", -1},
         {"client", 3, "Data", "pointer 1", "empty", -1},
     }},
    {"session/session_protocol", "Session.getValue$Results", 0xce98719dbad0a401, 0, 1, 0, 0,
     {
         {"result", 0, "List(Result(AnnotatedValue, Error))", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.listNodes$Params", 0x92035429255ef5a8, 1, 2, 0, 0,
     {
         {"pathExpression", 0, "Text", "pointer 0", "", -1},
         {"flags", 1, "UInt32", "bits 0-31", "", -1},
         {"subscriberId", 2, "Data", "pointer 1", "", -1},
     }},
    {"session/session_protocol", "Session.listNodes$Results", 0xebd34bdb74c961b0, 0, 1, 0, 0,
     {
         {"paths", 0, "List(Text)", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.listNodesJson$Params", 0xcd837fe86531f6c1, 1, 2, 0, 0,
     {
         {"pathExpression", 0, "Text", "pointer 0", "", -1},
         {"flags", 1, "UInt32", "bits 0-31", "", -1},
         {"subscriberId", 2, "Data", "pointer 1", "", -1},
     }},
    {"session/session_protocol", "Session.listNodesJson$Results", 0xa8151642645bfa32, 0, 1, 0, 0,
     {
         {"nodeProps", 0, "Text", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.setValue$Params", 0x9fe29a10493e27c7, 1, 3, 0, 0,
     {
         {"pathExpression", 0, "Text", "pointer 0", "", -1},
         {"value", 1, "Value", "pointer 1", "", -1},
         {"lookupMode", 2, "LookupMode", "bits 0-15", "directLookup", -1},
         {"completeWhen", 3, "ReturnFromSetWhen", "bits 16-31", "deviceAck", -1},
         {"client", 4, "Data", "pointer 2", "empty", -1},
     }},
    {"session/session_protocol", "Session.setValue$Results", 0x9474d85f26f63900, 0, 1, 0, 0,
     {
         {"result", 0, "List(Result(AnnotatedValue, Error))", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.subscribe$Params", 0xb9b18be9afb1b3e4, 0, 1, 0, 0,
     {
         {"subscription", 0, "Subscription", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.subscribe$Results", 0xa0ca6692df48c93f, 0, 1, 0, 0,
     {
         {"result", 0, "Result(VoidStruct, Error)", "pointer 0", "", -1},
     }},
    {"session/session_protocol", "Session.unsubscribe$Params", 0xb16a1640db91e61c, 0, 2, 0, 0,
     {
         {"subscriberId", 0, "Data", "pointer 0", "", -1},
         {"paths", 1, "List(Text)", "pointer 1", "", -1},
     }},
    {"streaming/streaming", "StreamingHandle.sendValues$Params", 0xa30bad0f967c47b6, 0, 1, 0, 0,
     {
         {"values", 0, "List(AnnotatedValue)", "pointer 0", "", -1},
     }},
    {"streaming/streaming", "Subscription", 0xedac21a53de1b1d4, 0, 4, 0, 0,
     {
         {"path", 0, "Text", "pointer 0", "", -1},
         {"streamingHandle", 1, "StreamingHandle", "pointer 1", "", -1},
         {"subscriberId", 2, "Data", "pointer 2", "", -1},
         {"kwargs", 3, "Kwargs", "pointer 3", "", -1},
     }},
    {"orchestrator/orchestrator", "KernelDescriptor", 0xc8d7b1a0e4f25a13, 1, 3, 0, 0,
     {
         {"host", 0, "Text", "pointer 0", "", -1},
         {"port", 1, "UInt16", "bits 0-15", "", -1},
         {"uid", 2, "Data", "pointer 1", "", -1},
         {"protocol", 3, "ClientWireProtocol", "bits 16-31", "", -1},
         {"reserved", 4, "UInt16", "bits 32-47", "", -1},
         {"flag", 5, "Bool", "bit 48", "", -1},
         {"version", 6, "Text", "pointer 2", "", -1},
     }},
    {"orchestrator/orchestrator", "Orchestrator", 0xe0b4f3c9a7d21e56, 0, 0, 0, 0, {}},
    {"orchestrator/orchestrator", "Orchestrator.Error", 0xa1c6e8d3b5f70942, 1, 1, 0, 0,
     {
         {"code", 0, "ErrorCode", "bits 0-15", "", -1},
         {"message", 1, "Text", "pointer 0", "", -1},
     }},
  };
  return table;
}

// "common/value.capnp:Value" -> "Value"; "capnp/schema.capnp:Node" -> "Node".
std::string scopedName(capnp::Schema schema) {
  std::string_view display = schema.getProto().getDisplayName().cStr();
  auto colon = display.find(':');
  return std::string(colon == std::string_view::npos ? display : display.substr(colon + 1));
}

std::string fileOf(capnp::Schema schema) {
  std::string_view display = schema.getProto().getDisplayName().cStr();
  return std::string(display.substr(0, display.find(':')));
}

bool isOurs(capnp::Schema schema) {
  return std::string_view(schema.getProto().getDisplayName().cStr()).starts_with(kSchemaDirectory);
}

std::string renderType(capnp::Type type, capnp::StructSchema owner);

std::string renderBrand(capnp::StructSchema schema) {
  std::string text = scopedName(schema);
  if (!schema.getProto().getIsGeneric()) return text;
  auto arguments = schema.getBrandArgumentsAtScope(schema.getProto().getId());
  text += "(";
  for (unsigned i = 0; i < arguments.size(); ++i) {
    if (i > 0) text += ", ";
    text += renderType(arguments[i], schema);
  }
  return text + ")";
}

std::string renderType(capnp::Type type, capnp::StructSchema owner) {
  using capnp::schema::Type;
  switch (type.which()) {
    case Type::VOID: return "Void";
    case Type::BOOL: return "Bool";
    case Type::INT8: return "Int8";
    case Type::INT16: return "Int16";
    case Type::INT32: return "Int32";
    case Type::INT64: return "Int64";
    case Type::UINT8: return "UInt8";
    case Type::UINT16: return "UInt16";
    case Type::UINT32: return "UInt32";
    case Type::UINT64: return "UInt64";
    case Type::FLOAT32: return "Float32";
    case Type::FLOAT64: return "Float64";
    case Type::TEXT: return "Text";
    case Type::DATA: return "Data";
    case Type::LIST: return "List(" + renderType(type.asList().getElementType(), owner) + ")";
    case Type::ENUM: return scopedName(type.asEnum());
    case Type::STRUCT: return renderBrand(type.asStruct());
    case Type::INTERFACE: return scopedName(type.asInterface());
    case Type::ANY_POINTER:
      KJ_IF_MAYBE(parameter, type.getBrandParameter()) {
        if (parameter->scopeId == owner.getProto().getId()) {
          return owner.getProto().getParameters()[parameter->index].getName().cStr();
        }
        return "parameter";
      }
      return "AnyPointer";
  }
  return "?";
}

// A generic parameter shows as its name, as it is written in the schema.
std::string renderFieldType(capnp::StructSchema::Field field) {
  auto declared = field.getProto().getSlot().getType();
  if (declared.isAnyPointer() && declared.getAnyPointer().isParameter()) {
    auto parameter = declared.getAnyPointer().getParameter();
    auto owner = field.getContainingStruct();
    if (parameter.getScopeId() == owner.getProto().getId()) {
      return owner.getProto().getParameters()[parameter.getParameterIndex()].getName().cStr();
    }
  }
  return renderType(field.getType(), field.getContainingStruct());
}

std::string renderPosition(capnp::StructSchema::Field field) {
  auto proto = field.getProto();
  if (proto.isGroup()) return "";
  auto slot = proto.getSlot();
  auto type = field.getType();
  if (type.isVoid()) return "void";
  if (type.isText() || type.isData() || type.isList() || type.isStruct() || type.isInterface() ||
      type.isAnyPointer()) {
    return "pointer " + std::to_string(slot.getOffset());
  }
  unsigned width = 0;
  using capnp::schema::Type;
  switch (type.which()) {
    case Type::BOOL: width = 1; break;
    case Type::INT8: case Type::UINT8: width = 8; break;
    case Type::INT16: case Type::UINT16: case Type::ENUM: width = 16; break;
    case Type::INT32: case Type::UINT32: case Type::FLOAT32: width = 32; break;
    default: width = 64; break;
  }
  uint64_t first = uint64_t(slot.getOffset()) * width;
  if (width == 1) return "bit " + std::to_string(first);
  return "bits " + std::to_string(first) + "-" + std::to_string(first + width - 1);
}

std::string renderDefault(capnp::StructSchema::Field field) {
  auto proto = field.getProto();
  if (proto.isGroup() || !proto.getSlot().getHadExplicitDefault()) return "";
  auto value = proto.getSlot().getDefaultValue();
  auto type = field.getType();
  using capnp::schema::Value;
  switch (value.which()) {
    case Value::ENUM:
      return type.asEnum().getEnumerants()[value.getEnum()].getProto().getName().cStr();
    case Value::DATA: return value.getData().size() == 0 ? "empty" : "data";
    case Value::STRUCT:
      return kj::str(value.getStruct().getAs<capnp::DynamicStruct>(type.asStruct())).cStr();
    default:
      // Numbers: read the default through a fresh struct, which yields it.
      break;
  }
  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<capnp::DynamicStruct>(field.getContainingStruct());
  return kj::str(root.get(field)).cStr();
}

class SchemaWalk {
 public:
  void visit(capnp::Type type) {
    if (type.isList()) return visit(type.asList().getElementType());
    if (type.isStruct()) return visit(type.asStruct());
    if (type.isInterface()) return visit(type.asInterface());
  }

  void visit(capnp::StructSchema schema) {
    auto id = schema.getProto().getId();
    if (schema.getProto().getIsGeneric()) {
      for (auto argument : schema.getBrandArgumentsAtScope(id)) visit(argument);
    }
    if (!isOurs(schema) || !structs.emplace(id, schema.getGeneric().asStruct()).second) return;
    for (auto field : schema.getFields()) visit(field.getType());
  }

  void visit(capnp::InterfaceSchema schema) {
    if (!isOurs(schema) || !interfaces.emplace(schema.getProto().getId(), schema).second) return;
    for (auto method : schema.getMethods()) {
      visit(method.getParamType());
      visit(method.getResultType());
    }
    for (auto superclass : schema.getSuperclasses()) visit(superclass);
  }

  std::map<uint64_t, capnp::StructSchema> structs;
  std::map<uint64_t, capnp::InterfaceSchema> interfaces;
};

SchemaWalk walkAllSchemas() {
  SchemaWalk walk;
  using namespace nuvrel_capnp;
  for (auto schema : {
           capnp::Schema::from<Complex>(), capnp::Schema::from<Error>(),
           capnp::Schema::from<HelloMsg>(), capnp::Schema::from<Kwargs>(),
           capnp::Schema::from<Result<>>(), capnp::Schema::from<AnnotatedValue>(),
           capnp::Schema::from<CntSample>(), capnp::Schema::from<LargeVectorData>(),
           capnp::Schema::from<TriggerSample>(), capnp::Schema::from<Value>(),
           capnp::Schema::from<VectorData>(), capnp::Schema::from<VoidStruct>(),
           capnp::Schema::from<KSDemodSample>(), capnp::Schema::from<KSScopeWaveEx>(),
           capnp::Schema::from<LyrBoxcarVectorData>(),
           capnp::Schema::from<LyrDemodulatorVectorData>(),
           capnp::Schema::from<LyrGeneratorWaveformVectorData>(),
           capnp::Schema::from<LyrPidVectorData>(),
           capnp::Schema::from<LyrResultLoggerVectorData>(),
           capnp::Schema::from<LyrScopeVectorData>(), capnp::Schema::from<CapSchema>(),
           capnp::Schema::from<Subscription>(), capnp::Schema::from<KernelDescriptor>(),
           capnp::Schema::from<Orchestrator>(), capnp::Schema::from<Orchestrator::Error>(),
       }) {
    walk.visit(schema.asStruct());
  }
  for (auto schema : {capnp::Schema::from<Reflection>(), capnp::Schema::from<Session>(),
                      capnp::Schema::from<StreamingHandle>()}) {
    walk.visit(schema.asInterface());
  }
  return walk;
}

TEST(ProtocolSchemas, EveryStructHasTheFixedLayout) {
  auto walk = walkAllSchemas();
  std::set<uint64_t> listed;
  for (const auto& row : structTable()) {
    SCOPED_TRACE(std::string(row.name));
    listed.insert(row.id);
    auto found = walk.structs.find(row.id);
    ASSERT_NE(found, walk.structs.end()) << "no compiled struct with this id";
    auto schema = found->second;
    auto node = schema.getProto();
    auto structNode = node.getStruct();

    EXPECT_EQ(scopedName(schema), row.name);
    EXPECT_EQ(fileOf(schema), std::string(kSchemaDirectory) + std::string(row.file) + ".capnp");
    EXPECT_EQ(structNode.getDataWordCount(), row.dataWords);
    EXPECT_EQ(structNode.getPointerCount(), row.pointers);
    EXPECT_EQ(structNode.getDiscriminantCount(), row.unionMembers);
    if (row.unionMembers > 0) {
      EXPECT_EQ(structNode.getDiscriminantOffset() * 2, row.discriminantByte);
    }

    auto fields = schema.getFields();
    ASSERT_EQ(fields.size(), row.fields.size());
    for (unsigned i = 0; i < fields.size(); ++i) {
      const auto& expected = row.fields[i];
      auto field = fields[i];
      auto proto = field.getProto();
      SCOPED_TRACE(std::string(expected.name));
      EXPECT_EQ(proto.getName().cStr(), expected.name);
      if (expected.ordinal < 0) {
        ASSERT_TRUE(proto.isGroup());
        auto group = field.getType().asStruct();
        EXPECT_EQ(std::string(expected.type), "group(" + scopedName(group) + ")");
        EXPECT_EQ(group.getProto().getStruct().getDataWordCount(), row.dataWords);
        EXPECT_EQ(group.getProto().getStruct().getPointerCount(), row.pointers);
      } else {
        ASSERT_TRUE(proto.getOrdinal().isExplicit());
        EXPECT_EQ(proto.getOrdinal().getExplicit(), unsigned(expected.ordinal));
        EXPECT_EQ(renderFieldType(field), expected.type);
      }
      EXPECT_EQ(renderPosition(field), expected.position);
      EXPECT_EQ(renderDefault(field), expected.defaultValue);
      if (expected.unionTag < 0) {
        EXPECT_EQ(proto.getDiscriminantValue(), capnp::schema::Field::NO_DISCRIMINANT);
      } else {
        EXPECT_EQ(proto.getDiscriminantValue(), unsigned(expected.unionTag));
      }
    }
  }
  for (const auto& [id, schema] : walk.structs) {
    EXPECT_TRUE(listed.count(id)) << "struct without a layout row: "
                                  << schema.getProto().getDisplayName().cStr();
  }
}

struct EnumRow {
  capnp::EnumSchema schema;
  uint64_t id;
  std::vector<std::string_view> enumerants;
};

TEST(ProtocolSchemas, EnumsHaveTheirIdsAndEnumerants) {
  using namespace nuvrel_capnp;
  const std::vector<EnumRow> table = {
      {capnp::Schema::from<ErrorKind>(), 0xb7e671e24a9802bd,
       {"ok", "cancelled", "unknown", "notFound", "overwhelmed", "badRequest", "unimplemented",
        "internal", "unavailable", "timeout"}},
      {capnp::Schema::from<HelloMsg::Kind>(), 0x8dc0ce66c2de04e2,
       {"unknown", "orchestrator", "vkr", "client"}},
      {capnp::Schema::from<HelloMsg::Protocol>(), 0xe737d5f7b51820cf,
       {"unknown", "capnp", "http"}},
      {capnp::Schema::from<LookupMode>(), 0xda5049b5e072f425, {"directLookup", "withExpansion"}},
      {capnp::Schema::from<ReturnFromSetWhen>(), 0xdd2da53aac55edf9,
       {"asap", "deviceAck", "unusedAsync", "unusedTransactional"}},
      {capnp::Schema::from<ClientWireProtocol>(), 0xe1f874dc54525678, {"binmsg", "capnp"}},
      {capnp::Schema::from<DeviceInterface>(), 0xb2cb5725fb3efecc,
       {"none", "ethernet", "usb", "pcie", "other"}},
      {capnp::Schema::from<ErrorCode>(), 0xfbae13420614145a,
       {"ok", "general", "deviceNotFound", "invalidArgument", "deviceNotVisible", "internal",
        "firmwareUpgradeRequired", "interfaceNotSupported", "differentInterface", "deviceInUse",
        "notSupportedInContext", "malformedRequest"}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(scopedName(row.schema));
    EXPECT_EQ(row.schema.getProto().getId(), row.id);
    auto enumerants = row.schema.getEnumerants();
    ASSERT_EQ(enumerants.size(), row.enumerants.size());
    for (unsigned i = 0; i < enumerants.size(); ++i) {
      EXPECT_EQ(enumerants[i].getProto().getName().cStr(), row.enumerants[i]);
      EXPECT_EQ(enumerants[i].getOrdinal(), i);
    }
  }
}

struct MethodRow {
  std::string_view name;
  uint64_t params;
  uint64_t results;
};

TEST(ProtocolSchemas, InterfacesHaveTheirIdsAndMethodsByOrdinal) {
  using namespace nuvrel_capnp;
  constexpr uint64_t voidStruct = 0xdf7fe8e981437816;
  constexpr uint64_t streamResult = 0x995f9a3377c0b16e;  // capnp/stream.capnp:StreamResult
  const std::vector<std::tuple<capnp::InterfaceSchema, uint64_t, std::vector<MethodRow>>> table = {
      {capnp::Schema::from<Reflection>(), 0xf9a52e68104bc776,
       {{"getTheSchema", 0x86a77be57bfa08f7, 0xc9db2193e1883dd1},
        {"getReflectionVersion", 0xe3e32fd4d93c1199, 0xfb31a67fd905411a}}},
      {capnp::Schema::from<Session>(), 0xb9d445582da4a55c,
       {{"listNodes", 0x92035429255ef5a8, 0xebd34bdb74c961b0},
        {"deprecatedGetValues", 0xcd242e1bb990dfe7, 0xe948518c129575bb},
        {"deprecatedSetValue", 0xa8f6fded40f38065, 0x8aef0146a9595df9},
        {"subscribe", 0xb9b18be9afb1b3e4, 0xa0ca6692df48c93f},
        {"disconnectDevice", 0xe682e60b2cd90782, voidStruct},
        {"listNodesJson", 0xcd837fe86531f6c1, 0xa8151642645bfa32},
        {"unsubscribe", 0xb16a1640db91e61c, voidStruct},
        {"getSessionVersion", 0xd77d14cf14b3405a, 0xcc68434da57cf6b3},
        {"deprecatedSetValue2", 0xdae05cd32680aba1, 0xfd47648e56c0e689},
        {"setValue", 0x9fe29a10493e27c7, 0x9474d85f26f63900},
        {"getValue", 0xc5e872236cc4917b, 0xce98719dbad0a401},
        {"cancel", 0xb77c3d30c74311fc, voidStruct}}},
      {capnp::Schema::from<StreamingHandle>(), 0xf51e28a7f5b41574,
       {{"sendValues", 0xa30bad0f967c47b6, streamResult}}},
  };
  for (const auto& [schema, id, methods] : table) {
    SCOPED_TRACE(scopedName(schema));
    EXPECT_EQ(schema.getProto().getId(), id);
    EXPECT_EQ(schema.getSuperclasses().size(), 0u);
    auto actual = schema.getMethods();
    ASSERT_EQ(actual.size(), methods.size());
    for (unsigned i = 0; i < actual.size(); ++i) {
      SCOPED_TRACE(std::string(methods[i].name));
      EXPECT_EQ(actual[i].getProto().getName().cStr(), methods[i].name);
      EXPECT_EQ(actual[i].getOrdinal(), i);
      EXPECT_EQ(actual[i].getParamType().getProto().getId(), methods[i].params);
      EXPECT_EQ(actual[i].getResultType().getProto().getId(), methods[i].results);
    }
  }
}

uint64_t nestedId(capnp::Schema parent, std::string_view name) {
  for (auto nested : parent.getProto().getNestedNodes()) {
    if (nested.getName().cStr() == name) return nested.getId();
  }
  return 0;
}

TEST(ProtocolSchemas, ConstantsHaveTheirIdsAndValues) {
  using namespace nuvrel_capnp;
  EXPECT_EQ(HelloMsg::FIXED_LENGTH, 256u);
  EXPECT_EQ(nestedId(capnp::Schema::from<HelloMsg>(), "fixedLength"), 0x9e6be575b808b8a5u);
  EXPECT_EQ(Reflection::CAPABILITY_VERSION.get(), "1.0.0");
  EXPECT_EQ(nestedId(capnp::Schema::from<Reflection>(), "capabilityVersion"),
            0x8ccbe575060ffd5au);
  EXPECT_EQ(Session::CAPABILITY_VERSION.get(), "1.17.0");
  EXPECT_EQ(nestedId(capnp::Schema::from<Session>(), "capabilityVersion"), 0xb750ae1c962f02d0u);
}

// Reads a struct of the given schema from raw little-endian words: one
// segment holding a root pointer followed by the struct's sections.
template <typename T>
class RawStruct {
 public:
  RawStruct(std::vector<uint64_t> sections, uint16_t dataWords, uint16_t pointers)
      : words_{uint64_t(dataWords) << 32 | uint64_t(pointers) << 48} {
    words_.insert(words_.end(), sections.begin(), sections.end());
    segments_[0] = kj::arrayPtr(reinterpret_cast<const capnp::word*>(words_.data()), words_.size());
    reader_.emplace(kj::arrayPtr(segments_, 1));
  }

  typename T::Reader root() { return reader_->getRoot<T>(); }

 private:
  std::vector<uint64_t> words_;
  kj::ArrayPtr<const capnp::word> segments_[1];
  std::optional<capnp::SegmentArrayMessageReader> reader_;
};

TEST(ProtocolSchemas, ZeroDataSectionsReadTheDefaults) {
  using namespace nuvrel_capnp;
  const uint64_t zero = 0;

  RawStruct<Session::SetValueParams> setValue({zero, zero, zero, zero}, 1, 3);
  EXPECT_EQ(setValue.root().getLookupMode(), LookupMode::DIRECT_LOOKUP);
  EXPECT_EQ(setValue.root().getCompleteWhen(), ReturnFromSetWhen::DEVICE_ACK);
  EXPECT_EQ(setValue.root().getClient().size(), 0u);

  RawStruct<HelloMsg> hello({zero, zero, zero}, 1, 2);
  EXPECT_EQ(hello.root().getKind(), HelloMsg::Kind::UNKNOWN);
  EXPECT_EQ(hello.root().getProtocol(), HelloMsg::Protocol::CAPNP);

  // The default is stored XOR-ed: writing capnp leaves the word at zero.
  capnp::MallocMessageBuilder message;
  auto built = message.initRoot<HelloMsg>();
  built.setProtocol(HelloMsg::Protocol::CAPNP);
  auto bytes = capnp::messageToFlatArray(message);
  uint64_t data;
  memcpy(&data, &bytes[2], sizeof(data));
  EXPECT_EQ(data, 0u);
  built.setProtocol(HelloMsg::Protocol::UNKNOWN);
  bytes = capnp::messageToFlatArray(message);
  memcpy(&data, &bytes[2], sizeof(data));
  EXPECT_EQ(data, 1u << 16);

  RawStruct<Error> error({zero, zero, zero, zero}, 1, 3);
  EXPECT_EQ(error.root().getKind(), ErrorKind::UNKNOWN);
}

TEST(ProtocolSchemas, KwargsEntryWithoutValueReadsNone) {
  using namespace nuvrel_capnp;
  RawStruct<Kwargs::Entry> entry({uint64_t(0), uint64_t(0)}, 0, 2);
  EXPECT_FALSE(entry.root().hasValue());
  EXPECT_EQ(entry.root().getValue().which(), Value::NONE);
}

TEST(ProtocolSchemas, ValueScalarsLiveInTheFirstDataWord) {
  using namespace nuvrel_capnp;
  // Discriminant in data byte 8, the scalar in the first word, no pointer.
  RawStruct<Value> boolean({uint64_t(1), uint64_t(14), uint64_t(0)}, 2, 1);
  ASSERT_EQ(boolean.root().which(), Value::BOOL);
  EXPECT_TRUE(boolean.root().getBool());

  RawStruct<Value> integer({uint64_t(-42), uint64_t(0), uint64_t(0)}, 2, 1);
  ASSERT_EQ(integer.root().which(), Value::INT64);
  EXPECT_EQ(integer.root().getInt64(), -42);

  double half = 0.5;
  uint64_t halfBits;
  memcpy(&halfBits, &half, sizeof(half));
  RawStruct<Value> real({uint64_t(halfBits), uint64_t(1), uint64_t(0)}, 2, 1);
  ASSERT_EQ(real.root().which(), Value::DOUBLE);
  EXPECT_EQ(real.root().getDouble(), 0.5);
}

}  // namespace
