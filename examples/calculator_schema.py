# ruff: noqa: E501, N815, D101, D102, N802
"""Python schema for calculator.capnp.

This file is generated and contains a Cap'n Proto schema in packed binary format;
specifically a serialized reflection_capnp.CapSchema message with the typeId field
not set.

The schema has been compiled from the file calculator.capnp.

This file contains the following schema nodes:
#   - calculator.capnp:Calculator @0x9d690ca0039e96bc
#   - calculator.capnp:Calculator.add$Params @0xc807f680a0444cc0
#   - calculator.capnp:Calculator.add$Results @0xbe716b4a5af9149a
#   - calculator.capnp:Calculator.scale$Params @0xd9d36a1285bc28f1
#   - calculator.capnp:Calculator.scale$Results @0xc8f3cec2a7c9b9bf
#   - calculator.capnp:Calculator.divide$Params @0xad8b5f5744ae9301
#   - calculator.capnp:Calculator.divide$Results @0xd5e1bfb1e141f86e
#   - protocol/schemas/reflection/reflection.capnp:Reflection @0xf9a52e68104bc776
#   - protocol/schemas/reflection/reflection.capnp:Reflection.getTheSchema$Params @0x86a77be57bfa08f7
#   - protocol/schemas/reflection/reflection.capnp:Reflection.getTheSchema$Results @0xc9db2193e1883dd1
#   - protocol/schemas/reflection/reflection.capnp:CapSchema @0xcb31ef7a76eb85cf
#   - capnp/schema.capnp:Node @0xe682ab4cf923a417
#   - capnp/schema.capnp:Node.struct @0x9ea0b19b37fb4435
#   - capnp/schema.capnp:ElementSize @0xd1958f7dba521926
#   - capnp/c++.capnp:namespace @0xb9c6f99ebf805f2c
#   - capnp/schema.capnp:Field @0x9aad50a41f4af45f
#   - capnp/schema.capnp:Field.slot @0xc42305476bb4746f
#   - capnp/schema.capnp:Type @0xd07378ede1f9cc60
#   - capnp/schema.capnp:Type.list @0x87e739250a60ea97
#   - capnp/schema.capnp:Type.enum @0x9e0e78711a7f87a9
#   - capnp/schema.capnp:Brand @0x903455f06065422b
#   - capnp/schema.capnp:Brand.Scope @0xabd73485a9636bc9
#   - capnp/schema.capnp:Brand.Binding @0xc863cd16969ee7fc
#   - capnp/schema.capnp:Type.struct @0xac3a6f60ef4cc6d3
#   - capnp/schema.capnp:Type.interface @0xed8bca69f7fb0cbf
#   - capnp/schema.capnp:Type.anyPointer @0xc2573fe8a23e49f1
#   - capnp/schema.capnp:Type.anyPointer.unconstrained @0x8e3b5f79fe593656
#   - capnp/schema.capnp:Type.anyPointer.parameter @0x9dd1f724f4614a85
#   - capnp/schema.capnp:Type.anyPointer.implicitMethodParameter @0xbaefc9120c56e274
#   - capnp/schema.capnp:Value @0xce23dcd2d7b00c9b
#   - capnp/schema.capnp:Field.group @0xcafccddb68db1d11
#   - capnp/schema.capnp:Field.ordinal @0xbb90d5c287870be6
#   - capnp/schema.capnp:Annotation @0xf1c8950dab257542
#   - capnp/schema.capnp:Node.enum @0xb54ab3364333f598
#   - capnp/schema.capnp:Enumerant @0x978a7cebdc549a4d
#   - capnp/schema.capnp:Node.interface @0xe82753cff0c2218f
#   - capnp/schema.capnp:Method @0x9500cce23b334d80
#   - capnp/schema.capnp:Node.Parameter @0xb9521bccf10fa3b1
#   - capnp/schema.capnp:Superclass @0xa9962a9ed0a4d7f8
#   - capnp/schema.capnp:Node.const @0xb18aa5ac7a0d9420
#   - capnp/schema.capnp:Node.annotation @0xec1619d4400a0290
#   - capnp/schema.capnp:Node.NestedNode @0xdebf55bbfa0fc242
#   - protocol/schemas/reflection/reflection.capnp:Reflection.getReflectionVersion$Params @0xe3e32fd4d93c1199
#   - protocol/schemas/reflection/reflection.capnp:Reflection.getReflectionVersion$Results @0xfb31a67fd905411a

"""

from __future__ import annotations

import builtins
import typing as t
import warnings

import nuvrel.comms
from nuvrel.comms.server import CapnpServer
from packaging.version import Version

_GENERATED_WITH = Version("4.3.0")


def _check_version_compatibility() -> None:
    runtime_version = Version(nuvrel.comms.__version__)
    if runtime_version.major != _GENERATED_WITH.major:
        warnings.warn(
            f"You are using nuvrel.comms version {runtime_version}, but the schema in '{__name__}' was "
            f"generated using version {_GENERATED_WITH}. It is recommended to regenerate "
            "this file using the 'compile' command.",
            stacklevel=3,
        )


_check_version_compatibility()

_CAPNP_BINARY_SCHEMA = b"IQIEM/wDgARQAQEAADEBJw9RsAUG/7yWngOgDGmdABERA/81F6ji1snwtAAAARN5B+IThQcHAAATgQfHE/kHFwAA\
/8BMRKCA9gfIAFEcAQIAAAQHAAAz6Qc6AQABE/EHdwAB/5oU+VpKa3G+AFEcAQEAAAQHAAAzTQhCAQABE1UIPwAB\
//EovIUSatPZAFEcAQEAAAUBBwAAM3UISgEAAROBCHcAAf+/ucmnws7zyAARHAEAAAUBBwAAM+0IUgEAARP5CD8A\
Af8Bk65EV1+LrQBRHAECAAAEBwAAMykJUgEAARM1CXcAAf9u+EHhsb/h1QBRHAEBAAAEBwAAM5EJWgEAAROdCT8A\
Af92x0sQaC6l+QARLQP/IuS5r2YQZJ0AAAEzwQnCARPZCRcAABPpCYcTRQoHAAD/9wj6e+V7p4YAETgBAAAEBwAA\
My0KYgIABP/RPYjhkyHbyQAROAEAAAUBBwAAMykKagIAARNFCj8AAf/Phet2eu8xywBRLQEB/yLkua9mEGSdAAUB\
BwAAM2kKugETgQoHAAATfQp3AAH/F6Qj+UyrguYAURMBBf/ZckxiCcU/qQBFBgcGAQYT7QrCE/UKNwAAMyELFwMA\
Af81RPs3m7GgngBRGAEF/xekI/lMq4LmABUGBwEAABHKAQABEfIBAAH/JhlSun2PldEAERMC/9lyTGIJxT+pAAAB\
E6oEAROVDQcAABPSBAEAAf8sX4C/nvnGuQBREAUB/4FOMLh7ffi9AAABEwIGARMqBgEAABM6BgEAAf9f9EofpFCt\
mgBREwED/9lyTGIJxT+pAEUEBwIBBBNiBgETigYBAAATugYBAAH/b3S0a0cFI8QAURkBA/9f9EofpFCtmgAVBAcB\
AAATqgkBAAET0gkBAAH/YMz54e14c9AAURMBA//ZckxiCcU/qQBFAQcTAAAT2gsBE/oLAQAAEwoMAQAB/5fqYAol\
OeeHAFEYAQP/YMz54e14c9AAFQEHAQAAE/oTAQABEyIUAQAB/6mHfxpxeA6eAFEYAQP/YMz54e14c9AAFQEHAQAA\
E7IUAQABE9oUAQAB/ytCZWDwVTSQABETAf/ZckxiCcU/qQAFAQcAABPaFQETAhYBAAATQhYBAAH/yWtjqYU016sA\
URkBAv8rQmVg8FU0kABFAQcCAQQT6hYBExIXAQAAEyIXAQAB//znnpYWzWPIAFEZAQH/K0JlYPBVNJAARQEHAgAA\
E7oYARPqGAEAABP6GAEAAf/TxkzvYG86rABRGAED/2DM+eHteHPQABUBBwEAABP6GQEAARMiGgEAAf+/DPv3acqL\
7QBRGAED/2DM+eHteHPQABUBBwEAABMiGwEAARNSGwEAAf/xST6i6D9XwgBRGAED/2DM+eHteHPQAFUBBwEDAQQT\
UhwBAAETghwBAAH/VjZZ/nlfO44AUSMBA//xST6i6D9XwgBVAQcBBAEFE3IdAQABE7IdAQAB/4VKYfQk99GdAFEj\
AQP/8Uk+oug/V8IAFQEHAQAAE6ofAQABEQICAAH/dOJWDBLJ77oAUSMBA//xST6i6D9XwgAVAQcBAAATCgECAAET\
UgECAAH/mwyw19LcI84AURMBAv/ZckxiCcU/qQBFAQcTAAAT4gECEwoCAgAAExoCAgAB/xEd22jbzfzKAFEZAQP/\
X/RKH6RQrZoAFQQHAQAAEyILAgABE0oLAgAB/+YLh4fC1ZC7AFEZAQP/X/RKH6RQrZoAVQQHAQIBBRPSCwIAARMC\
DAIAAf9CdSWrDZXI8QBREwEB/9lyTGIJxT+pAAUCBwAAExINAhM6DQIAABNKDQIAAf+Y9TNDNrNKtQBRGAEF/xek\
I/lMq4LmABUGBwEAABPCDgIAARPqDgIAAf9NmlTc63yKlwBREwEB/9lyTGIJxT+pAAUCBwAAE5oPAhPCDwIAABPS\
DwIAAf+PIcLwz1Mn6ABRGAEF/xekI/lMq4LmABUGBwEAABN6EQIAAROqEQIAAb+ATTM74syVURMBA//ZckxiCcU/\
qQAFBQcAABPyEgITGhMCAAATKhMCAAH/saMP8cwbUrkAERgB/xekI/lMq4LmAAUBBwAAE4IXAhOyFwIAABPCFwIA\
Af/416TQniqWqQBREwEB/9lyTGIJxT+pAAUBBwAAE0oYAhNyGAIAABOCGAIAAf8glA16rKWKsQBRGAEF/xekI/lM\
q4LmABUGBwEAABOCGQIAAROqGQIAAf+QAgpA1BkW7ABRGAEF/xekI/lMq4LmABUGBwEAABOqGgIAARPaGgIAAf9C\
wg/6u1W/3gBRGAEB/xekI/lMq4LmAAUBBwAAE3ohAhOqIQIAABO6IQIAAf+ZETzZ1C/j4wAROAEAAAQHAAATuiIC\
AAT/GkEF2X+mMfsAETgBAAAFAQcAABMaIwIAARN6IwIAAf9jYWxjdWxhdAJvci5jYXBucDpDYWxjdWxhB3RvclAB\
AVEMAwUAAP/ATESggPYHyAGaFPlaSmtxvhFRIgACEUUHAQH/8Si8hRJq09kBv7nJp8LO88gROTIAAhEtBwEC/wGT\
rkRXX4utAW74QeGxv+HVESE6AAIRFQcHYWRkQAEfc2NhbGVAAT9kaXZpZGVAAVEEAQH/dsdLEGgupfkAAAD/Y2Fs\
Y3VsYXQDb3IuY2FwbnA6Q2FsY3VsYXRvci5hZGQkP1BhcmFtc1EIAwQAAAQBAAARKRIAAFEkAwFRMAIBEQEBFAEB\
AAARLRIAAFEoAwFRNAIBAWEBCwACAQsAAQFiAQsAAgELAAH/Y2FsY3VsYXQEb3IuY2FwbnA6Q2FsY3VsYXRvci5h\
ZGQkUmVzdWx0cwBRBAMEAAAEAQAAEQ0iAABRCAMBURQCAQdzdW0BCwACAQsAAf9jYWxjdWxhdARvci5jYXBucDpD\
YWxjdWxhdG9yLnNjYWxlJFBhcmFtcwAAUQgDBAAABAEAABEpOgAAUSQDAVFAAgEBARQBAQAAET06AABROAMBUUQC\
AT92YWx1ZXMBDgABUAMBAQsAAgEOAAE/ZmFjdG9yAQsAAgELAAH/Y2FsY3VsYXQEb3IuY2FwbnA6Q2FsY3VsYXRv\
ci5zY2FsZSRSZXN1bHQBc1EEAwQAAAQBAAARDToAAFEIAwFRJAIBP3ZhbHVlcwEOAAFQAwEBCwACAQ4AAf9jYWxj\
dWxhdARvci5jYXBucDpDYWxjdWxhdG9yLmRpdmlkZSRQYXJhbQFzUQgDBAAABAEAABEpEgAAUSQDAVEwAgERAQEU\
AQEAABEtEgAAUSgDAVE0AgEBYQELAAIBCwABAWIBCwACAQsAAf9jYWxjdWxhdARvci5jYXBucDpDYWxjdWxhdG9y\
LmRpdmlkZSRSZXN1bAN0c1EEAwQAAAQBAAARDUoAAFEMAwFRGAIB/3F1b3RpZW50AAAAAQsAAgELAAH/cHJvdG9j\
b2wGL3NjaGVtYXMvcmVmbGVjdGlvbi9yZWZsZWN0aW9uLmNhcG5wOlJlZmxlY3Rpb24AUQQBAf9a/Q8GdeXLjAAR\
AZL/Y2FwYWJpbGkBdHlWZXJzaW8BblEIAwUAAP/3CPp75XunhgHRPYjhkyHbyRExagACESkHAQH/mRE82dQv4+MB\
GkEF2X+mMfsRHaoAAhEZB/9nZXRUaGVTYwAPaGVtYUAB/2dldFJlZmxlAWN0aW9uVmVyD3Npb25AAVABAf9wcm90\
b2NvbAgvc2NoZW1hcy9yZWZsZWN0aW9uL3JlZmxlY3Rpb24uY2FwbnA6UmVmbGVjdGlvbi5nZXRUaGVTY2hlbWEk\
UGFyB2Ftc/9wcm90b2NvbAgvc2NoZW1hcy9yZWZsZWN0aW9uL3JlZmxlY3Rpb24uY2FwbnA6UmVmbGVjdGlvbi5n\
ZXRUaGVTY2hlbWEkUmVzD3VsdHNRBAMEAAAEAQAAEQ1SAABRDAMBURgCAf90aGVTY2hlbQABYQEQ/8+F63Z67zHL\
AAABARAAAf9wcm90b2NvbAUvc2NoZW1hcy9yZWZsZWN0aW9uL3JlZmxlY3Rpb24uY2FwbnA6Q2FwP1NjaGVtYVAB\
AVEIAwQAAAQBAAARKToAAFEkAwFRMAIBAQEUAQEAABEtUgAAUSwDAVFIAgE/dHlwZUlkAQkAAgEJAAH/dGhlU2No\
ZW0AAWEBDgABUAMBARD/F6Qj+UyrguYAAAEBDgAB/2NhcG5wL3NjAmhlbWEuY2FwbnA6Tm9kZQBRDAEB/7GjD/HM\
G1K5ABERUv9Cwg/6u1W/3gAREVr/rlcTBOMdjvMAERFa/1BhcmFtZXRlAAFy/05lc3RlZE5vAANkZf9Tb3VyY2VJ\
bgADZm9ROAMEAAAEAQAAE3kBGgAAU3QBAwFTgAECAQEBFAEBAAATfQFiAABTfAEDAVOIAQIBEQICFAECAAAThQHC\
AABTiAEDAVOUAQIBEQMCFAEDAAATkQFCAABTjAEDAVOYAQIBEQYBFAEEAAATlQFiAABTlAEDAVOwAQIBEQcCFAEF\
AAATrQFiAABTrAEDAVPIAQIBDQj//xQBBgAAE8UBKgAAU8ABAwFTzAECAQ0J/v8BAf81RPs3m7GgngATyQE6AAIN\
Cv3/AQH/mPUzQzazSrUAE7EBKgACDQv8/wEB/48hwvDPUyfoABOZAVIAAg0M+/8BAf8glA16rKWKsQAThQEyAAIN\
Dfr/AQH/kAIKQNQZFuwAE20BWgACEQQFFAEgAAATWQFaAAARAgERSgExBSABFAEhAAARagEAABGCARGqAQNpZAEJ\
AAIBCQAB/2Rpc3BsYXlOAAdhbWUBDAACAQwAAf9kaXNwbGF5TgJhbWVQcmVmaXhMZW5ndGgAAQgAAgEIAAF/c2Nv\
cGVJZAEJAAIBCQAB/25lc3RlZE5vAAdkZXMBDgABUAMBARD/QsIP+rtVv94AAAEBDgAB/2Fubm90YXRpAAdvbnMB\
DgABUAMBARD/QnUlqw2VyPEAAAEBDgABD2ZpbGUABj9zdHJ1Y3QPZW51bf9pbnRlcmZhYwABZR9jb25zdP9hbm5v\
dGF0aQADb27/cGFyYW1ldGUAA3JzUAEBUAMBAQ4AAVADAQEQ/7GjD/HMG1K5AAABUAIBAQ4AAREBUv9pc0dlbmVy\
aQABY1ADAQEBAAJQAgEBAQABEQH6/2NhcG5wL3NjAmhlbWEuY2FwbnA6Tm9kZS4/c3RydWN0MQGPAVEcAwQQBxQB\
BwAAEbVyAABRtAMBUcACAREBDBQBCAAAEb1qAABRvAMBUcgCARECDRQBCQAAEcWyAABRyAMBUdQCARED4BQBCgAA\
EdFCAABRzAMBUdgCAREEDxQBCwAAEdWSAABR2AMBUeQCAREFCBQBDAAAEeGaAABR5AMBUfACAREGAxQBDQAAEe06\
AABR6AMBUwQBAgH/ZGF0YVdvcmQAH0NvdW50AQcAAgEHAAH/cG9pbnRlckMAD291bnQBBwACAQcAAf9wcmVmZXJy\
ZQFkTGlzdEVuYx9vZGluZwEP/yYZUrp9j5XRAAABAQ8AAX9pc0dyb3VwAQEAAgEBAAH/ZGlzY3JpbWkBbmFudENv\
dW4BdAEHAAIBBwAB/2Rpc2NyaW1pAW5hbnRPZmZzA2V0AQgAAgEIAAE/ZmllbGRzAQ4AAVADAQEQ/1/0Sh+kUK2a\
AAABAQ4AAREB+v9jYXBucC9zYwJoZW1hLmNhcG5wOkVsZW1lP250U2l6ZREBx1EgAQIAABFZMgAAAQERUSIAAAEC\
EUkqAAABAxFBSgAAAQQRPVIAAAEFETlaAAABBhE1QgAAAQcRLYIAAB9lbXB0eQdiaXQPYnl0Zf90d29CeXRlcwAA\
AP9mb3VyQnl0ZQABc/9laWdodEJ5dAADZXN/cG9pbnRlcv9pbmxpbmVDbwFtcG9zaXRlABEB0v9jYXBucC9jKwIr\
LmNhcG5wOm5hbWVzcGFjAWURAQdQAQFQAwEBDAACEQHK/2NhcG5wL3NjAmhlbWEuY2FwbnA6RmllbGQAABEBF1EE\
AQH/Esf+fL5MsZcAEQF6/25vRGlzY3JpAD9taW5hbnQxAY8BURwDBAAABAEAABG1KgAAUbADAVG8AgEBARQBAQAA\
EblSAABRuAMBUcQCARECARQBAgAAEcFiAABRwAMBUdwCAREDARQBAwEBEdmSAABR3AMBUegCAQ0E//8BAf9vdLRr\
RwUjxAAR5SoAAg0F/v8BAf8RHdto2838ygARzTIAAgEGAQH/5guHh8LVkLsAEbVCAAIPbmFtZQEMAAIBDAAB/2Nv\
ZGVPcmRlAAFyAQcAAgEHAAH/YW5ub3RhdGkAB29ucwEOAAFQAwEBEP9CdSWrDZXI8QAAAQEOAAH/ZGlzY3JpbWkB\
bmFudFZhbHUBZQEHAAINB///AAEPc2xvdB9ncm91cH9vcmRpbmFsEQHy/2NhcG5wL3NjAmhlbWEuY2FwbnA6Rmll\
bGQfLnNsb3QRAedREAMEEAEUAQQAABFhOgAAUVwDAVFoAgERAQIUAQUAABFlKgAAUWADAVFsAgERAgMUAQYAABFp\
agAAUWgDAVF0AgERA4AUAQoAABFxmgAAUXQDAVGAAgE/b2Zmc2V0AQgAAgEIAAEPdHlwZQEQ/2DM+eHteHPQAAAB\
ARAAAf9kZWZhdWx0VgAPYWx1ZQEQ/5sMsNfS3CPOAAABARAAAf9oYWRFeHBsaQFjaXREZWZhdQNsdAEBAAIBAQAB\
EQHC/2NhcG5wL3NjAmhlbWEuY2FwbnA6VHlwZQARAQdQAQExAS8EUUwDBAz//wQBAAATBQIqAABSAgMBUwwCAgEN\
Af7/FAEBAAATCQIqAABTBAIDAVMQAgIBDQL9/xQBAgAAEw0CKgAAUwgCAwFTFAICAQ0D/P8UAQMAABMRAjIAAFMM\
AgMBUxgCAgENBPv/FAEEAAATFQIyAABTEAIDAVMcAgIBDQX6/xQBBQAAExkCMgAAUxQCAwFTIAICAQ0G+f8UAQYA\
ABMdAjIAAFMYAgMBUyQCAgENB/j/FAEHAAATIQI6AABTHAIDAVMoAgIBDQj3/xQBCAAAEyUCOgAAUyACAwFTLAIC\
AQ0J9v8UAQkAABMpAjoAAFMkAgMBUzACAgENCvX/FAEKAAATLQJCAABTKAIDAVM0AgIBDQv0/xQBCwAAEzECQgAA\
UywCAwFTOAICAQ0M8/8UAQwAABM1AioAAFMwAgMBUzwCAgENDfL/FAENAAATOQIqAABTNAIDAVNAAgIBDQ7x/wEB\
/5fqYAolOeeHABM9AioAAg0P8P8BAf+ph38acXgOngATJQIqAAINEO//AQH/08ZM72BvOqwAEw0COgACDRHu/wEB\
/78M+/dpyovtABP1AVIAAg0S7f8BAf/xST6i6D9XwgAT4QFaAAIPdm9pZAAGD2Jvb2wABg9pbnQ4AAYfaW50MTYA\
Bh9pbnQzMgAGH2ludDY0AAYfdWludDgABj91aW50MTYABj91aW50MzIABj91aW50NjQABn9mbG9hdDMyAAZ/Zmxv\
YXQ2NAAGD3RleHQABg9kYXRhAAYPbGlzdA9lbnVtP3N0cnVjdP9pbnRlcmZhYwABZf9hbnlQb2ludAADZXIRAer/\
Y2FwbnAvc2MCaGVtYS5jYXBucDpUeXBlLg9saXN0EQE/UQQDBAAAFAEOAAARDWIAAFEMAwFRGAIB/2VsZW1lbnRU\
AAd5cGUBEP9gzPnh7Xhz0AAAAQEQAAERAer/Y2FwbnAvc2MCaGVtYS5jYXBucDpUeXBlLg9lbnVtEQF3UQgDBBAB\
FAEPAAARKToAAFEkAwFRMAIBAQEUARUAABEtMgAAUSgDAVE0AgE/dHlwZUlkAQkAAgEJAAEfYnJhbmQBEP8rQmVg\
8FU0kAAAAQEQAAERAcr/Y2FwbnAvc2MCaGVtYS5jYXBucDpCcmFuZAAAEQEnUQgBAf/Ja2OphTTXqwARCTL//Oee\
lhbNY8gAEQVCH1Njb3Blf0JpbmRpbmcRAT9RBAMEAAAEAQAAEQ06AABRCAMBUSQCAT9zY29wZXMBDgABUAMBARD/\
yWtjqYU016sAAAEBDgABEQH6/2NhcG5wL3NjAmhlbWEuY2FwbnA6QnJhbmQ/LlNjb3BlEQEHUAEBEQGvUQwDBAAA\
BAEAABFFQgAAUUADAVFMAgENAf//FAEBAAARSSoAAFFEAwFRYAIBDQL+/xQBAgAAEV1CAABRWAMBUWQCAX9zY29w\
ZUlkAQkAAgEJAAEPYmluZAEOAAFQAwEBEP/8556WFs1jyAAAAQEOAAF/aW5oZXJpdAAGMQEKAf9jYXBucC9zYwNo\
ZW1hLmNhcG5wOkJyYW5kLkJpbmRpbmcAABEBB1ABAREBd1EIAwQM//8EAQAAESlCAABRJAMBUTACAQ0B/v8UAQEA\
ABEtKgAAUSgDAVE0AgF/dW5ib3VuZAAGD3R5cGUBEP9gzPnh7Xhz0AAAAQEQAAERAfr/Y2FwbnAvc2MCaGVtYS5j\
YXBucDpUeXBlLj9zdHJ1Y3QRAXdRCAMEEAEUARAAABEpOgAAUSQDAVEwAgEBARQBFgAAES0yAABRKAMBUTQCAT90\
eXBlSWQBCQACAQkAAR9icmFuZAEQ/ytCZWDwVTSQAAABARAAATEBEgH/Y2FwbnAvc2MDaGVtYS5jYXBucDpUeXBl\
LmludGVyZmFjAWURAXdRCAMEEAEUAREAABEpOgAAUSQDAVEwAgEBARQBFwAAES0yAABRKAMBUTQCAT90eXBlSWQB\
CQACAQkAAR9icmFuZAEQ/ytCZWDwVTSQAAABARAAATEBGgH/Y2FwbnAvc2MDaGVtYS5jYXBucDpUeXBlLmFueVBv\
aW50A2VyEQGvUQwDBAz//wEB/1Y2Wf55XzuOABFFcgACDQH+/wEB/4VKYfQk99GdABExUgACDQL9/wEB/3TiVgwS\
ye+6ABEdwgAC/3VuY29uc3RyAB9haW5lZP9wYXJhbWV0ZQABcv9pbXBsaWNpdAJNZXRob2RQYXJhbWV0ZXIAMQGK\
Af9jYXBucC9zYwVoZW1hLmNhcG5wOlR5cGUuYW55UG9pbnRlci51bmNvbnN0cmFpbmVkAAARAedREAMEDP//FAES\
AAARYUIAAFFcAwFRaAIBDQH+/xQBGQAAEWU6AABRYAMBUWwCAQ0C/f8UARoAABFpKgAAUWQDAVFwAgENA/z/FAEb\
AAARbVoAAFFsAwFReAIBf2FueUtpbmQABj9zdHJ1Y3QABg9saXN0AAb/Y2FwYWJpbGkAA3R5AAYxAWoB/2NhcG5w\
L3NjBGhlbWEuY2FwbnA6VHlwZS5hbnlQb2ludGVyLnBhcmFtD2V0ZXIRAXdRCAMEEAIUARMAABEpQgAAUSQDAVEw\
AgERAQUUARQAABEtegAAUSwDAVE4AgF/c2NvcGVJZAEJAAIBCQAB/3BhcmFtZXRlAD9ySW5kZXgBBwACAQcAATEB\
2gH/Y2FwbnAvc2MGaGVtYS5jYXBucDpUeXBlLmFueVBvaW50ZXIuaW1wbGljaXRNZXRob2RQYXJhbWV0A2VyEQE/\
UQQDBBAFFAEYAAARDXoAAFEMAwFRGAIB/3BhcmFtZXRlAD9ySW5kZXgBBwACAQcAAREByv9jYXBucC9zYwJoZW1h\
LmNhcG5wOlZhbHVlAAARAQdQAQExAS8EUUwDBAz//wQBAAATBQIqAABSAgMBUwwCAgEdAf7/EBQBAQAAEwkCKgAA\
UwQCAwFTEAICAR0C/f8CFAECAAATDQIqAABTCAIDAVMUAgIBHQP8/wEUAQMAABMRAjIAAFMMAgMBUxgCAgEdBPv/\
ARQBBAAAExUCMgAAUxACAwFTHAICAR0F+v8BFAEFAAATGQIyAABTFAIDAVMgAgIBHQb5/wIUAQYAABMdAjIAAFMY\
AgMBUyQCAgEdB/j/ARQBBwAAEyECOgAAUxwCAwFTKAICAR0I9/8BFAEIAAATJQI6AABTIAIDAVMsAgIBHQn2/wEU\
AQkAABMpAjoAAFMkAgMBUzACAgEdCvX/ARQBCgAAEy0CQgAAUygCAwFTNAICAR0L9P8BFAELAAATMQJCAABTLAID\
AVM4AgIBDQzz/xQBDAAAEzUCKgAAUzACAwFTPAICAQ0N8v8UAQ0AABM5AioAAFM0AgMBU0ACAgENDvH/FAEOAAAT\
PQIqAABTOAIDAVNEAgIBHQ/w/wEUAQ8AABNBAioAAFM8AgMBU0gCAgENEO//FAEQAAATRQI6AABTQAIDAVNMAgIB\
DRHu/xQBEQAAE0kCUgAAU0gCAwFTVAICAQ0S7f8UARIAABNRAloAAFNQAgMBU1wCAgEPdm9pZAAGD2Jvb2wBAQAC\
AQEAAQ9pbnQ4AQIAAgECAAEfaW50MTYBAwACAQMAAR9pbnQzMgEEAAIBBAABH2ludDY0AQUAAgEFAAEfdWludDgB\
BgACAQYAAT91aW50MTYBBwACAQcAAT91aW50MzIBCAACAQgAAT91aW50NjQBCQACAQkAAX9mbG9hdDMyAQoAAgEK\
AAF/ZmxvYXQ2NAELAAIBCwABD3RleHQBDAACAQwAAQ9kYXRhAQ0AAgENAAEPbGlzdAESAAIBEgABD2VudW0BBwAC\
AQcAAT9zdHJ1Y3QBEgACARIAAf9pbnRlcmZhYwABZQAG/2FueVBvaW50AANlcgESAAIBEgABEQH6/2NhcG5wL3Nj\
AmhlbWEuY2FwbnA6RmllbGQ/Lmdyb3VwEQE/UQQDBBACFAEHAAARDToAAFEIAwFRFAIBP3R5cGVJZAEJAAIBCQAB\
MQEKAf9jYXBucC9zYwNoZW1hLmNhcG5wOkZpZWxkLm9yZGluYWwAABEBd1EIAwQM//8UAQgAABEpSgAAUSgDAVE0\
AgEdAf7/BhQBCQAAETFKAABRMAMBUTwCAf9pbXBsaWNpdAAAB/9leHBsaWNpdAAAAAEHAAIBBwABEQHy/2NhcG5w\
L3NjAmhlbWEuY2FwbnA6QW5ub3QfYXRpb24RAQdQAQERAa9RDAMEAAAEAQAAEUUaAABRQAMBUUwCAQECFAEBAAAR\
STIAAFFEAwFRUAIBEQEBFAECAAARTTIAAFFIAwFRVAIBA2lkAQkAAgEJAAEfdmFsdWUBEP+bDLDX0twjzgAAAQEQ\
AAEfYnJhbmQBEP8rQmVg8FU0kAAAAQEQAAERAer/Y2FwbnAvc2MCaGVtYS5jYXBucDpOb2RlLg9lbnVtEQE/UQQD\
BBADFAEOAAARDVoAAFEMAwFRKAIB/2VudW1lcmFuAAN0cwEOAAFQAwEBEP9NmlTc63yKlwAAAQEOAAERAer/Y2Fw\
bnAvc2MCaGVtYS5jYXBucDpFbnVtZQ9yYW50EQEHUAEBEQGvUQwDBAAABAEAABFFKgAAUUADAVFMAgEBARQBAQAA\
EUlSAABRSAMBUVQCARECARQBAgAAEVFiAABRUAMBUWwCAQ9uYW1lAQwAAgEMAAH/Y29kZU9yZGUAAXIBBwACAQcA\
Af9hbm5vdGF0aQAHb25zAQ4AAVADAQEQ/0J1JasNlcjxAAABAQ4AATEBEgH/Y2FwbnAvc2MDaGVtYS5jYXBucDpO\
b2RlLmludGVyZmFjAWURAXdRCAMEEAMUAQ8AABEpQgAAUSQDAVFAAgERAQQUAR8AABE9agAAUTwDAVFYAgF/bWV0\
aG9kcwEOAAFQAwEBEL+ATTM74syVAAEBDgAB/3N1cGVyY2xhAA9zc2VzAQ4AAVADAQEQ//jXpNCeKpapAAABAQ4A\
AREB0v9jYXBucC9zYwJoZW1hLmNhcG5wOk1ldGhvAWQRAQdQAQExAccBUSADBAAABAEAABHRKgAAUcwDAVHYAgEB\
ARQBAQAAEdVSAABR1AMBUeACAREDARQBAgAAEd2CAABR3AMBUegCAREFAhQBAwAAEeWKAABR6AMBUfQCAREHARQB\
BAAAEfFiAABR8AMBUwwBAgERBAIUAQUAABMJAVoAAFMIAQMBUxQBAgERBgMUAQYAABMRAWIAAFMQAQMBUxwBAgER\
AgQUAQcAABMZAZoAAFMcAQMBUzgBAgEPbmFtZQEMAAIBDAAB/2NvZGVPcmRlAAFyAQcAAgEHAAH/cGFyYW1TdHIB\
dWN0VHlwZQABCQACAQkAAf9yZXN1bHRTdAFydWN0VHlwZQAAAQkAAgEJAAH/YW5ub3RhdGkAB29ucwEOAAFQAwEB\
EP9CdSWrDZXI8QAAAQEOAAH/cGFyYW1CcmEAA25kARD/K0JlYPBVNJAAAAEBEAAB/3Jlc3VsdEJyAAdhbmQBEP8r\
QmVg8FU0kAAAAQEQAAH/aW1wbGljaXQBUGFyYW1ldGUDcnMBDgABUAMBARD/saMP8cwbUrkAAAEBDgABMQESAf9j\
YXBucC9zYwNoZW1hLmNhcG5wOk5vZGUuUGFyYW1ldGUBchEBB1ABAREBP1EEAwQAAAQBAAARDSoAAFEIAwFRFAIB\
D25hbWUBDAACAQwAAREB8v9jYXBucC9zYwJoZW1hLmNhcG5wOlN1cGVyH2NsYXNzEQEHUAEBEQF3UQgDBAAABAEA\
ABEpGgAAUSQDAVEwAgEBARQBAQAAES0yAABRKAMBUTQCAQNpZAEJAAIBCQABH2JyYW5kARD/K0JlYPBVNJAAAAEB\
EAABEQHy/2NhcG5wL3NjAmhlbWEuY2FwbnA6Tm9kZS4fY29uc3QRAXdRCAMEEAMUARAAABEpKgAAUSQDAVEwAgER\
AQQUAREAABEtMgAAUSgDAVE0AgEPdHlwZQEQ/2DM+eHteHPQAAABARAAAR92YWx1ZQEQ/5sMsNfS3CPOAAABARAA\
ATEBGgH/Y2FwbnAvc2MDaGVtYS5jYXBucDpOb2RlLmFubm90YXRpA29uMQHfAlE0AwQQAxQBEgAAE10BKgAAU1gB\
AwFTZAECAREBcBQBEwAAE2EBYgAAU2ABAwFTbAECARECcRQBFAAAE2kBagAAU2gBAwFTdAECAREDchQBFQAAE3EB\
YgAAU3ABAwFTfAECAREEcxQBFgAAE3kBigAAU3wBAwFTiAECAREFdBQBFwAAE4UBcgAAU4QBAwFTkAECAREGdRQB\
GAAAE40BagAAU4wBAwFTmAECAREHdhQBGQAAE5UBagAAU5QBAwFToAECAREIdxQBGgAAE50BagAAU5wBAwFTqAEC\
AREJeBQBGwAAE6UBigAAU6gBAwFTtAECAREKeRQBHAAAE7EBcgAAU7ABAwFTvAECARELehQBHQAAE7kBagAAU7gB\
AwFTxAECAREMexQBHgAAE8EBkgAAU8QBAwFT0AECAQ90eXBlARD/YMz54e14c9AAAAEBEAAB/3RhcmdldHNGAAdp\
bGUBAQACAQEAAf90YXJnZXRzQwAPb25zdAEBAAIBAQAB/3RhcmdldHNFAAdudW0BAQACAQEAAf90YXJnZXRzRQFu\
dW1lcmFudAAAAQEAAgEBAAH/dGFyZ2V0c1MAH3RydWN0AQEAAgEBAAH/dGFyZ2V0c0YAD2llbGQBAQACAQEAAf90\
YXJnZXRzVQAPbmlvbgEBAAIBAQAB/3RhcmdldHNHAA9yb3VwAQEAAgEBAAH/dGFyZ2V0c0kBbnRlcmZhY2UAAAEB\
AAIBAQAB/3RhcmdldHNNAB9ldGhvZAEBAAIBAQAB/3RhcmdldHNQAA9hcmFtAQEAAgEBAAH/dGFyZ2V0c0EBbm5v\
dGF0aW8BbgEBAAIBAQABMQEaAf9jYXBucC9zYwNoZW1hLmNhcG5wOk5vZGUuTmVzdGVkTm8DZGURAQdQAQERAXdR\
CAMEAAAEAQAAESkqAABRJAMBUTACAQEBFAEBAAARLRoAAFEoAwFRNAIBD25hbWUBDAACAQwAAQNpZAEJAAIBCQAB\
MQGiAv9wcm90b2NvbAkvc2NoZW1hcy9yZWZsZWN0aW9uL3JlZmxlY3Rpb24uY2FwbnA6UmVmbGVjdGlvbi5nZXRS\
ZWZsZWN0aW9uVmVyc2lvbiRQYXIHYW1zMQGqAv9wcm90b2NvbAkvc2NoZW1hcy9yZWZsZWN0aW9uL3JlZmxlY3Rp\
b24uY2FwbnA6UmVmbGVjdGlvbi5nZXRSZWZsZWN0aW9uVmVyc2lvbiRSZXMPdWx0cxEBP1EEAwQAAAQBAAARDUIA\
AFEIAwFRFAIBf3ZlcnNpb24BDAACAQwAAQ=="

_SCHEMA_LOADER = None


def get_schema_loader() -> nuvrel.comms.SchemaLoader:
    """Get the schema loader for the VKR schema.

    The schema is cached since it is expensive to load and there is no need to
    load it multiple times.

    Returns:
        The schema loader for the VKR schema.
    """
    global _SCHEMA_LOADER  # noqa: PLW0603
    if _SCHEMA_LOADER is None:
        _SCHEMA_LOADER = nuvrel.comms.SchemaLoader(
            _CAPNP_BINARY_SCHEMA, version=str(_GENERATED_WITH)  # type: ignore[arg-type]
        )
    return _SCHEMA_LOADER


# The following structs are generated for all structs and enums in the schema above.
# They all derive from nuvrel.comms.DynamicStruct and have no additional logic on their
# own. They mainly serve two use cases:
#
# 1. Provide a typed interface to the schema and detect breaking changes more easily.
#    Since nuvrel.comms is schema agnostic the return types are always DynamicStructs.
#    As a user one can cast the return values to the generated structs to get a typed
#    interface.
#    Example:
#       `result = t.cast(schema.GetValueResults, await client.getValues(...))`
#
#  2. Provide a typed interface for creating new messages.
#     A DynamicStruct can be created by providing a schema loader and the capnp id.
#     The generated structs provide a more convenient way to create new messages.
#     Example:
#       `msg = schema.GetValueParams()`
#     Note that the additional kwargs are passed to the constructor of the DynamicStruct
#     and can be used to set initial values.
#
#  IMPORTANT: There is no additional logic in the generated structs. They are just a
#  typed interface to the schema. All logic is implemented in the DynamicStruct class.
#
#  IMPORTANT: There are quite some differences between how python and capnp handle things.
#  One of them is that capnp struct can have unions. The generator does not support unions
#  and will generate a struct for each union branch. This is not ideal but should be fine.
#
#  For more information see the documentation of nuvrel.comms.DynamicStruct.


class CalculatorClient(t.Protocol):
    capnp_id: t.ClassVar[builtins.int] = 0x9D690CA0039E96BC

    def add(self, a: t.Optional[builtins.float] = None, b: t.Optional[builtins.float] = None) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...

    def scale(self, values: t.Optional[builtins.list[builtins.float]] = None, factor: t.Optional[builtins.float] = None) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...

    def divide(self, a: t.Optional[builtins.float] = None, b: t.Optional[builtins.float] = None) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...

    def close(self) -> None: ...

    @staticmethod
    def get_schema() -> nuvrel.comms.InterfaceSchema:
        return get_schema_loader().get_interface_schema(CalculatorClient.capnp_id)


class CalculatorServer(CapnpServer):
    capnp_id: t.ClassVar[builtins.int] = 0x9D690CA0039E96BC

    @staticmethod
    def get_schema() -> nuvrel.comms.InterfaceSchema:
        return get_schema_loader().get_interface_schema(CalculatorServer.capnp_id)


class CalculatorAddParams(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xC807F680A0444CC0
    a: builtins.float  # float64
    b: builtins.float  # float64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class CalculatorAddResults(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xBE716B4A5AF9149A
    sum: builtins.float  # float64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class CalculatorScaleParams(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xD9D36A1285BC28F1
    values: builtins.list[builtins.float]  # list[float64]
    factor: builtins.float  # float64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_values(self, size: builtins.int) -> builtins.list[builtins.float]:
        return super().init_list("values", size)  # type: ignore[return-value]


class CalculatorScaleResults(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xC8F3CEC2A7C9B9BF
    values: builtins.list[builtins.float]  # list[float64]

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_values(self, size: builtins.int) -> builtins.list[builtins.float]:
        return super().init_list("values", size)  # type: ignore[return-value]


class CalculatorDivideParams(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xAD8B5F5744AE9301
    a: builtins.float  # float64
    b: builtins.float  # float64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class CalculatorDivideResults(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xD5E1BFB1E141F86E
    quotient: builtins.float  # float64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class ReflectionClient(t.Protocol):
    capnp_id: t.ClassVar[builtins.int] = 0xF9A52E68104BC776

    def getTheSchema(self) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...

    def getReflectionVersion(self) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...

    def close(self) -> None: ...

    @staticmethod
    def get_schema() -> nuvrel.comms.InterfaceSchema:
        return get_schema_loader().get_interface_schema(ReflectionClient.capnp_id)


class ReflectionServer(CapnpServer):
    capnp_id: t.ClassVar[builtins.int] = 0xF9A52E68104BC776

    @staticmethod
    def get_schema() -> nuvrel.comms.InterfaceSchema:
        return get_schema_loader().get_interface_schema(ReflectionServer.capnp_id)


class ReflectionGetTheSchemaParams(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0x86A77BE57BFA08F7

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class ReflectionGetTheSchemaResults(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xC9DB2193E1883DD1
    theSchema: CapSchema

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_theSchema(self, **kwarg: t.Any) -> CapSchema:
        return super().init_struct("theSchema", **kwarg)  # type: ignore[return-value]


class CapSchema(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xCB31EF7A76EB85CF
    typeId: builtins.int  # uint64
    theSchema: builtins.list[CapnpNode]

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_theSchema(self, size: builtins.int) -> builtins.list[CapnpNode]:
        return super().init_list("theSchema", size)  # type: ignore[return-value]


class CapnpNode(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xE682AB4CF923A417
    id: builtins.int  # uint64
    displayName: builtins.str
    displayNamePrefixLength: builtins.int  # uint32
    scopeId: builtins.int  # uint64
    nestedNodes: builtins.list[CapnpNodeNestedNode]
    annotations: builtins.list[CapnpAnnotation]
    file: t.Any
    struct: CapnpNodeStruct
    enum: CapnpNodeEnum
    interface: CapnpNodeInterface
    const: CapnpNodeConst
    annotation: CapnpNodeAnnotation
    parameters: builtins.list[CapnpNodeParameter]
    isGeneric: builtins.bool

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_nestedNodes(self, size: builtins.int) -> builtins.list[CapnpNodeNestedNode]:
        return super().init_list("nestedNodes", size)  # type: ignore[return-value]

    def init_annotations(self, size: builtins.int) -> builtins.list[CapnpAnnotation]:
        return super().init_list("annotations", size)  # type: ignore[return-value]

    def init_struct(self, **kwarg: t.Any) -> CapnpNodeStruct:  # type: ignore[override]
        return super().init_struct("struct", **kwarg)  # type: ignore[return-value]

    def init_enum(self, **kwarg: t.Any) -> CapnpNodeEnum:
        return super().init_struct("enum", **kwarg)  # type: ignore[return-value]

    def init_interface(self, **kwarg: t.Any) -> CapnpNodeInterface:
        return super().init_struct("interface", **kwarg)  # type: ignore[return-value]

    def init_const(self, **kwarg: t.Any) -> CapnpNodeConst:
        return super().init_struct("const", **kwarg)  # type: ignore[return-value]

    def init_annotation(self, **kwarg: t.Any) -> CapnpNodeAnnotation:
        return super().init_struct("annotation", **kwarg)  # type: ignore[return-value]

    def init_parameters(self, size: builtins.int) -> builtins.list[CapnpNodeParameter]:
        return super().init_list("parameters", size)  # type: ignore[return-value]


class CapnpNodeStruct(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0x9EA0B19B37FB4435
    dataWordCount: builtins.int  # uint16
    pointerCount: builtins.int  # uint16
    preferredListEncoding: CapnpElementSize
    isGroup: builtins.bool
    discriminantCount: builtins.int  # uint16
    discriminantOffset: builtins.int  # uint32
    fields: builtins.list[CapnpField]

    def init_fields(self, size: builtins.int) -> builtins.list[CapnpField]:
        return super().init_list("fields", size)  # type: ignore[return-value]


class CapnpElementSize(nuvrel.comms.DynamicEnum):
    capnp_id: t.ClassVar[builtins.int] = 0xD1958F7DBA521926
    empty = 0
    bit = 1
    byte = 2
    twoBytes = 3
    fourBytes = 4
    eightBytes = 5
    pointer = 6
    inlineComposite = 7


class CapnpField(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0x9AAD50A41F4AF45F
    name: builtins.str
    codeOrder: builtins.int  # uint16
    annotations: builtins.list[CapnpAnnotation]
    discriminantValue: builtins.int  # uint16
    slot: CapnpFieldSlot
    group: CapnpFieldGroup
    ordinal: CapnpFieldOrdinal

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_annotations(self, size: builtins.int) -> builtins.list[CapnpAnnotation]:
        return super().init_list("annotations", size)  # type: ignore[return-value]

    def init_slot(self, **kwarg: t.Any) -> CapnpFieldSlot:
        return super().init_struct("slot", **kwarg)  # type: ignore[return-value]

    def init_group(self, **kwarg: t.Any) -> CapnpFieldGroup:
        return super().init_struct("group", **kwarg)  # type: ignore[return-value]

    def init_ordinal(self, **kwarg: t.Any) -> CapnpFieldOrdinal:
        return super().init_struct("ordinal", **kwarg)  # type: ignore[return-value]


class CapnpFieldSlot(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xC42305476BB4746F
    offset: builtins.int  # uint32
    type: CapnpType
    defaultValue: CapnpValue
    hadExplicitDefault: builtins.bool

    def init_type(self, **kwarg: t.Any) -> CapnpType:
        return super().init_struct("type", **kwarg)  # type: ignore[return-value]

    def init_defaultValue(self, **kwarg: t.Any) -> CapnpValue:
        return super().init_struct("defaultValue", **kwarg)  # type: ignore[return-value]


class CapnpType(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xD07378EDE1F9CC60
    void: t.Any
    bool: t.Any
    int8: t.Any
    int16: t.Any
    int32: t.Any
    int64: t.Any
    uint8: t.Any
    uint16: t.Any
    uint32: t.Any
    uint64: t.Any
    float32: t.Any
    float64: t.Any
    text: t.Any
    data: t.Any
    list: CapnpTypeList
    enum: CapnpTypeEnum
    struct: CapnpTypeStruct
    interface: CapnpTypeInterface
    anyPointer: CapnpTypeAnyPointer

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_list(self, **kwarg: t.Any) -> CapnpTypeList:  # type: ignore[override]
        return super().init_struct("list", **kwarg)  # type: ignore[return-value]

    def init_enum(self, **kwarg: t.Any) -> CapnpTypeEnum:
        return super().init_struct("enum", **kwarg)  # type: ignore[return-value]

    def init_struct(self, **kwarg: t.Any) -> CapnpTypeStruct:  # type: ignore[override]
        return super().init_struct("struct", **kwarg)  # type: ignore[return-value]

    def init_interface(self, **kwarg: t.Any) -> CapnpTypeInterface:
        return super().init_struct("interface", **kwarg)  # type: ignore[return-value]

    def init_anyPointer(self, **kwarg: t.Any) -> CapnpTypeAnyPointer:
        return super().init_struct("anyPointer", **kwarg)  # type: ignore[return-value]


class CapnpTypeList(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0x87E739250A60EA97
    elementType: CapnpType

    def init_elementType(self, **kwarg: t.Any) -> CapnpType:
        return super().init_struct("elementType", **kwarg)  # type: ignore[return-value]


class CapnpTypeEnum(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0x9E0E78711A7F87A9
    typeId: builtins.int  # uint64
    brand: CapnpBrand

    def init_brand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("brand", **kwarg)  # type: ignore[return-value]


class CapnpBrand(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0x903455F06065422B
    scopes: builtins.list[CapnpBrandScope]

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_scopes(self, size: builtins.int) -> builtins.list[CapnpBrandScope]:
        return super().init_list("scopes", size)  # type: ignore[return-value]


class CapnpBrandScope(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xABD73485A9636BC9
    scopeId: builtins.int  # uint64
    bind: builtins.list[CapnpBrandBinding]
    inherit: t.Any

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_bind(self, size: builtins.int) -> builtins.list[CapnpBrandBinding]:
        return super().init_list("bind", size)  # type: ignore[return-value]


class CapnpBrandBinding(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xC863CD16969EE7FC
    unbound: t.Any
    type: CapnpType

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_type(self, **kwarg: t.Any) -> CapnpType:
        return super().init_struct("type", **kwarg)  # type: ignore[return-value]


class CapnpTypeStruct(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xAC3A6F60EF4CC6D3
    typeId: builtins.int  # uint64
    brand: CapnpBrand

    def init_brand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("brand", **kwarg)  # type: ignore[return-value]


class CapnpTypeInterface(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xED8BCA69F7FB0CBF
    typeId: builtins.int  # uint64
    brand: CapnpBrand

    def init_brand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("brand", **kwarg)  # type: ignore[return-value]


class CapnpTypeAnyPointer(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xC2573FE8A23E49F1
    unconstrained: CapnpTypeAnyPointerUnconstrained
    parameter: CapnpTypeAnyPointerParameter
    implicitMethodParameter: CapnpTypeAnyPointerImplicitMethodParameter

    def init_unconstrained(self, **kwarg: t.Any) -> CapnpTypeAnyPointerUnconstrained:
        return super().init_struct("unconstrained", **kwarg)  # type: ignore[return-value]

    def init_parameter(self, **kwarg: t.Any) -> CapnpTypeAnyPointerParameter:
        return super().init_struct("parameter", **kwarg)  # type: ignore[return-value]

    def init_implicitMethodParameter(self, **kwarg: t.Any) -> CapnpTypeAnyPointerImplicitMethodParameter:
        return super().init_struct("implicitMethodParameter", **kwarg)  # type: ignore[return-value]


class CapnpTypeAnyPointerUnconstrained(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0x8E3B5F79FE593656
    anyKind: t.Any
    struct: t.Any
    list: t.Any
    capability: t.Any


class CapnpTypeAnyPointerParameter(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0x9DD1F724F4614A85
    scopeId: builtins.int  # uint64
    parameterIndex: builtins.int  # uint16


class CapnpTypeAnyPointerImplicitMethodParameter(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xBAEFC9120C56E274
    parameterIndex: builtins.int  # uint16


class CapnpValue(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xCE23DCD2D7B00C9B
    void: t.Any
    bool: builtins.bool
    int8: builtins.int  # int8
    int16: builtins.int  # int16
    int32: builtins.int  # int32
    int64: builtins.int  # int64
    uint8: builtins.int  # uint8
    uint16: builtins.int  # uint16
    uint32: builtins.int  # uint32
    uint64: builtins.int  # uint64
    float32: builtins.float  # float32
    float64: builtins.float  # float64
    text: builtins.str
    data: builtins.bytes
    list: t.Any
    enum: builtins.int  # uint16
    struct: t.Any
    interface: t.Any
    anyPointer: t.Any

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class CapnpFieldGroup(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xCAFCCDDB68DB1D11
    typeId: builtins.int  # uint64


class CapnpFieldOrdinal(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xBB90D5C287870BE6
    implicit: t.Any
    explicit: builtins.int  # uint16


class CapnpAnnotation(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xF1C8950DAB257542
    id: builtins.int  # uint64
    value: CapnpValue
    brand: CapnpBrand

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_value(self, **kwarg: t.Any) -> CapnpValue:
        return super().init_struct("value", **kwarg)  # type: ignore[return-value]

    def init_brand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("brand", **kwarg)  # type: ignore[return-value]


class CapnpNodeEnum(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xB54AB3364333F598
    enumerants: builtins.list[CapnpEnumerant]

    def init_enumerants(self, size: builtins.int) -> builtins.list[CapnpEnumerant]:
        return super().init_list("enumerants", size)  # type: ignore[return-value]


class CapnpEnumerant(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0x978A7CEBDC549A4D
    name: builtins.str
    codeOrder: builtins.int  # uint16
    annotations: builtins.list[CapnpAnnotation]

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_annotations(self, size: builtins.int) -> builtins.list[CapnpAnnotation]:
        return super().init_list("annotations", size)  # type: ignore[return-value]


class CapnpNodeInterface(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xE82753CFF0C2218F
    methods: builtins.list[CapnpMethod]
    superclasses: builtins.list[CapnpSuperclass]

    def init_methods(self, size: builtins.int) -> builtins.list[CapnpMethod]:
        return super().init_list("methods", size)  # type: ignore[return-value]

    def init_superclasses(self, size: builtins.int) -> builtins.list[CapnpSuperclass]:
        return super().init_list("superclasses", size)  # type: ignore[return-value]


class CapnpMethod(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0x9500CCE23B334D80
    name: builtins.str
    codeOrder: builtins.int  # uint16
    paramStructType: builtins.int  # uint64
    resultStructType: builtins.int  # uint64
    annotations: builtins.list[CapnpAnnotation]
    paramBrand: CapnpBrand
    resultBrand: CapnpBrand
    implicitParameters: builtins.list[CapnpNodeParameter]

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_annotations(self, size: builtins.int) -> builtins.list[CapnpAnnotation]:
        return super().init_list("annotations", size)  # type: ignore[return-value]

    def init_paramBrand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("paramBrand", **kwarg)  # type: ignore[return-value]

    def init_resultBrand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("resultBrand", **kwarg)  # type: ignore[return-value]

    def init_implicitParameters(self, size: builtins.int) -> builtins.list[CapnpNodeParameter]:
        return super().init_list("implicitParameters", size)  # type: ignore[return-value]


class CapnpNodeParameter(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xB9521BCCF10FA3B1
    name: builtins.str

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class CapnpSuperclass(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xA9962A9ED0A4D7F8
    id: builtins.int  # uint64
    brand: CapnpBrand

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)

    def init_brand(self, **kwarg: t.Any) -> CapnpBrand:
        return super().init_struct("brand", **kwarg)  # type: ignore[return-value]


class CapnpNodeConst(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xB18AA5AC7A0D9420
    type: CapnpType
    value: CapnpValue

    def init_type(self, **kwarg: t.Any) -> CapnpType:
        return super().init_struct("type", **kwarg)  # type: ignore[return-value]

    def init_value(self, **kwarg: t.Any) -> CapnpValue:
        return super().init_struct("value", **kwarg)  # type: ignore[return-value]


class CapnpNodeAnnotation(nuvrel.comms.DynamicStruct):
    # Group struct. This struct is not instantiable directly.
    capnp_id: t.ClassVar[builtins.int] = 0xEC1619D4400A0290
    type: CapnpType
    targetsFile: builtins.bool
    targetsConst: builtins.bool
    targetsEnum: builtins.bool
    targetsEnumerant: builtins.bool
    targetsStruct: builtins.bool
    targetsField: builtins.bool
    targetsUnion: builtins.bool
    targetsGroup: builtins.bool
    targetsInterface: builtins.bool
    targetsMethod: builtins.bool
    targetsParam: builtins.bool
    targetsAnnotation: builtins.bool

    def init_type(self, **kwarg: t.Any) -> CapnpType:
        return super().init_struct("type", **kwarg)  # type: ignore[return-value]


class CapnpNodeNestedNode(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xDEBF55BBFA0FC242
    name: builtins.str
    id: builtins.int  # uint64

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class ReflectionGetReflectionVersionParams(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xE3E32FD4D93C1199

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)


class ReflectionGetReflectionVersionResults(nuvrel.comms.DynamicStruct):
    capnp_id: t.ClassVar[builtins.int] = 0xFB31A67FD905411A
    version: builtins.str

    def __init__(self, **kwargs: t.Any) -> None:
        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)
