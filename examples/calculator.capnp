# The interface of the README example. calculator_schema.py is generated from
# it with:
#   python -m nuvrel.comms.compiler examples/calculator.capnp \
#       --src-prefix examples -I src/native -o examples
@0xb4f0c9d6e2a81735;

using Reflection = import "/protocol/schemas/reflection/reflection.capnp".Reflection;

interface Calculator extends(Reflection) {
  add @0 (a :Float64, b :Float64) -> (sum :Float64);
  # Returns a + b.

  scale @1 (values :List(Float64), factor :Float64) -> (values :List(Float64));
  # Returns every value multiplied by factor.

  divide @2 (a :Float64, b :Float64) -> (quotient :Float64);
  # Fails for b == 0.
}
