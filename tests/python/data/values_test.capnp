# Types used by the value-layer tests. The wire schemas are imported from the
# source tree (import path: src/native).
@0xcd8e280488529c19;

using Complex = import "/protocol/schemas/common/complex.capnp".Complex;
using Result = import "/protocol/schemas/common/result.capnp".Result;
using Error = import "/protocol/schemas/common/error.capnp".Error;

enum Color {
  red @0;
  green @1;
  blue @2;
}

struct Inner {
  x @0 :Int32;
  name @1 :Text;
}

interface Calc {
  add @0 (a :Int32, b :Int32) -> (sum :Int32);
}

struct AllTypes {
  v @0 :Void;
  b @1 :Bool;
  i8 @2 :Int8;
  i16 @3 :Int16;
  i32 @4 :Int32;
  i64 @5 :Int64;
  u8 @6 :UInt8;
  u16 @7 :UInt16;
  u32 @8 :UInt32;
  u64 @9 :UInt64;
  f32 @10 :Float32;
  f64 @11 :Float64;
  text @12 :Text;
  data @13 :Data;
  color @14 :Color;
  inner @15 :Inner;
  c @16 :Complex;
  boolList @17 :List(Bool);
  i8List @18 :List(Int8);
  i16List @19 :List(Int16);
  i32List @20 :List(Int32);
  i64List @21 :List(Int64);
  u8List @22 :List(UInt8);
  u16List @23 :List(UInt16);
  u32List @24 :List(UInt32);
  u64List @25 :List(UInt64);
  f32List @26 :List(Float32);
  f64List @27 :List(Float64);
  complexList @28 :List(Complex);
  textList @29 :List(Text);
  dataList @30 :List(Data);
  colorList @31 :List(Color);
  innerList @32 :List(Inner);
  nested @33 :List(List(Int32));
  any @34 :AnyPointer;
  grp :group {
    gx @35 :Int32;
    gy @36 :Text;
  }
  union {
    none @37 :Void;
    num @38 :Int32;
    word @39 :Text;
    sub @40 :Inner;
  }
  cap @41 :Calc;
  keys @42 :Int32;
  voidList @43 :List(Void);
}

struct WithResult {
  result @0 :Result(Text, Error);
}

struct WithInnerResult {
  result @0 :Result(Inner, Error);
}

# Two fields: not unwrapped.
struct NotAResult {
  result @0 :Result(Text, Error);
  other @1 :Int32;
}

# For comparisons with the reference JSON encoder: no Data fields.
struct Plain {
  a @0 :Int32;
  b @1 :Text;
  big @2 :UInt64;
  ratio @3 :Float64;
  color @4 :Color;
  inner @5 :Inner;
  values @6 :List(Float64);
  flag @7 :Bool;
}

# Our side of peer_v2.capnp's Lists.
struct Lists {
  f64List @0 :List(Float64);
  complexList @1 :List(Complex);
  complexWithText @2 :List(Complex);
}

struct EnumHolder {
  color @0 :Color;
}

struct Tree {
  value @0 :Int32;
  child @1 :Tree;
  children @2 :List(Tree);
}
