# The values a data server exchanges with its clients: scalars, samples and
# vectors, with the metadata they are annotated with.
@0xd8381df1db30629f;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("nuvrel_capnp");

using import "complex.capnp".Complex;
using import "error.capnp".Error;
using Lyr = import "lyr_vectors.capnp";

struct AnnotatedValue @0xf408ee376e837cdc {
  struct Metadata @0xad53d8ca57af3018 {
    timestamp @0 :UInt64;
    path @1 :Text;
  }

  metadata @0 :Metadata;
  value @1 :Value;
}

struct CntSample @0xe9370bd8287d6065 {
  timestamp @0 :UInt64;
  counter @1 :Int32;
  trigger @2 :UInt32;
}

struct LargeVectorData @0xd948f7b09959b00a {
  valueType @0 :UInt16;
  vectorElementType @1 :UInt8;
  extraHeaderInfo @2 :UInt32;
  dataSegments @3 :List(Data);
}

struct TriggerSample @0xdeb72097c27d0d95 {
  timestamp @0 :UInt64;
  sampleTick @1 :UInt64;
  trigger @2 :UInt32;
  missedTriggers @3 :UInt32;
  awgTrigger @4 :UInt32;
  dio @5 :UInt32;
  sequenceIndex @6 :UInt32;
}

struct Value @0xb1838b4771be75ac {
  union {
    int64 @0 :Int64;
    double @1 :Float64;
    complex @2 :Complex;
    string @3 :Text;
    vectorData @4 :VectorData;
    cntSample @5 :CntSample;
    triggerSample @6 :TriggerSample;
    none @7 :VoidStruct;
    streamingError @8 :Error;
    lyrDemodData @9 :Lyr.LyrDemodulatorVectorData;
    lyrResultLoggerData @10 :Lyr.LyrResultLoggerVectorData;
    vectorCntSamples @11 :List(CntSample);
    vectorTriggerSamples @12 :List(TriggerSample);
    largeVectorData @13 :LargeVectorData;
    bool @14 :Bool;
    lyrScopeData @15 :Lyr.LyrScopeVectorData;
    lyrGeneratorWaveformData @16 :Lyr.LyrGeneratorWaveformVectorData;
    lyrPidData @17 :Lyr.LyrPidVectorData;
    lyrBoxcarData @18 :Lyr.LyrBoxcarVectorData;
    scopeWaveEx @19 :KSScopeWaveEx;
    demodSample @20 :KSDemodSample;
    vectorDemodSamples @21 :List(KSDemodSample);
  }
}

struct VectorData @0x994c65b80df38978 {
  valueType @0 :UInt16;
  vectorElementType @1 :UInt8;
  extraHeaderInfo @2 :UInt32;
  data @3 :Data;
}

struct VoidStruct @0xdf7fe8e981437816 {}

struct KSDemodSample @0xf9eb207516c74e77 {
  timeStamp @0 :UInt64;
  x @1 :Float64;
  y @2 :Float64;
  frequency @3 :Float64;
  phase @4 :Float64;
  dioBits @5 :UInt32;
  trigger @6 :UInt32;
  auxIn0 @7 :Float64;
  auxIn1 @8 :Float64;
}

struct KSScopeWaveEx @0x9767f665fee071ce {
  timeStamp @0 :UInt64;
  triggerTimeStamp @1 :UInt64;
  dt @2 :Float64;
  channelEnable @3 :List(UInt8);
  channelInput @4 :List(UInt8);
  triggerEnable @5 :UInt8;
  triggerInput @6 :UInt8;
  channelBwLimit @7 :List(UInt8);
  channelMath @8 :List(UInt8);
  channelScaling @9 :List(Float32);
  sequenceNumber @10 :UInt32;
  segmentNumber @11 :UInt32;
  blockNumber @12 :UInt32;
  totalSamples @13 :UInt64;
  dataTransferMode @14 :UInt8;
  blockMarker @15 :UInt8;
  flags @16 :UInt8;
  sampleFormat @17 :UInt8;
  sampleCount @18 :UInt32;
  channelOffset @19 :List(Float64);
  totalSegments @20 :UInt32;
  data :union {
    dataInt16 @21 :List(Int16);
    dataInt32 @22 :List(Int32);
    dataFloat @23 :List(Float32);
  }
}
