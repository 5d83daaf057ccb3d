@0xb5c9e2a1f0d3c412;
struct Foo {
    Nope @0 :Int32;
}
