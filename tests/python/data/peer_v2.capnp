# A peer's newer layouts of the lists in values_test.capnp: elements larger
# than ours, as a sender with an extended schema writes them.
@0xf2d7c1997502d9f0;

struct ComplexV2 {
  real @0 :Float64;
  imag @1 :Float64;
  extra @2 :Float64;
}

struct ComplexWithText {
  real @0 :Float64;
  imag @1 :Float64;
  note @2 :Text;
}

struct Sample {
  value @0 :Float64;
  weight @1 :Float64;
}

# Same layout as values_test.capnp's Lists, with larger list elements.
struct Lists {
  f64List @0 :List(Sample);
  complexList @1 :List(ComplexV2);
  complexWithText @2 :List(ComplexWithText);
}

# values_test.capnp's EnumHolder with the enum as its raw number, so that a
# value our Color does not name can be sent.
struct EnumHolder {
  color @0 :UInt16;
}

# Result with a third union member, at the same positions as Result's.
struct ResultV2 {
  union {
    ok @0 :Text;
    err @1 :AnyPointer;
    other @2 :Void;
  }
}

# Layout of values_test.capnp's WithResult.
struct WithResultV2 {
  result @0 :ResultV2;
}

# values_test.capnp's Inner with raw bytes where we expect text.
struct InnerBytes {
  x @0 :Int32;
  name @1 :Data;
}

# An error record whose message is not text, inside a Result of the same
# layout as values_test.capnp's WithResult.
struct BadError {
  code @0 :UInt32;
  message @1 :InnerBytes;
}

struct ResultBadErr {
  union {
    ok @0 :Text;
    err @1 :BadError;
  }
}

struct WithResultBadErr {
  result @0 :ResultBadErr;
}
