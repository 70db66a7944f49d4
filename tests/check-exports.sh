#!/usr/bin/env bash
# Checks that Halvex.dll exports every entry point under its exact name.
# usage: check-exports.sh OBJDUMP DLL POINTER_SIZE
set -u
objdump=$1 dll=$2 ptr=$3
if [ "$ptr" = 4 ]; then
    names=(_InitHalvex@20 _SetHDAServerCallback@4 _SetHDAVendorInfo@4 _EnableHDAEventMsgs@4
           _EnableHDADisconnectNotification@4 _RequestHDADisconnect@0 _DefineHDAItem@4
           _DefineHDAAttribute@20 _DefineHDAAggregate@12 _HDAUpdateRegistry@28
           _UnregisterHDAServer@20 _GetHDAConnections@8 '?NumbrClientConnections@@YGHXZ')
else
    names=(InitHalvex SetHDAServerCallback SetHDAVendorInfo EnableHDAEventMsgs
           EnableHDADisconnectNotification RequestHDADisconnect DefineHDAItem
           DefineHDAAttribute DefineHDAAggregate HDAUpdateRegistry UnregisterHDAServer
           GetHDAConnections NumbrClientConnections)
fi
# The callback class and its seven virtual methods, under the compiler's names.
names+=(_ZTV14CVxHDACallback _ZN14CVxHDACallbackC1Ev _ZN14CVxHDACallbackC1ERKS_
        _ZN14CVxHDACallbackaSERKS_ _ZN14CVxHDACallbackD0Ev _ZN14CVxHDACallbackD1Ev)

table=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p') || exit 1
exported=$(printf '%s\n' "$table" | awk '/^[[:space:]]*\[/ {print $NF}')
status=0
for n in "${names[@]}"; do
    if ! printf '%s\n' "$exported" | grep -qxF -- "$n"; then
        echo "missing export: $n"; status=1
    fi
done
methods=$(printf '%s\n' "$exported" | grep -c '^_ZN14CVxHDACallback[0-9]\+\(GetTimeStamps\|GetPreviousTimeStamp\|GetNextTimeStamp\|ReadAt\|ReadCurrentAttribute\|ReadAttributeAt\|ReadProcessed\)E')
if [ "$methods" -ne 7 ]; then
    echo "expected the callback class's 7 methods exported, found $methods"; status=1
fi
[ $status -eq 0 ] && echo "all $(( ${#names[@]} + 7 )) exports present"
exit $status
