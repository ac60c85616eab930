#!/usr/bin/python3
"""Plays a console script against the bluez SDK library, the real ofonod and the simulated
phone's audio gateway.

    realofono.py --console KOBALTDemo --phone kobalt-phone --script FILE [options]

Starts, in a private folder: a dbus-daemon of the system type; the BlueZ stand-in bluez_ag.py
(python-dbusmock's bluez5 template with one adapter and the phone paired, whose
ConnectProfile with the audio gateway's UUID connects to the phone and hands the socket to
oFono); `kobalt-phone serve-ag` (the simulated phone as a hands-free audio gateway on a unix
socket, logging the AT lines it receives and sends); the real ofonod with its hands-free plugins
and AT debug output, waited for until it has registered its profile. Runs `KOBALTDemo --sdk
bluez --script FILE` on that bus, then checks the console's exit status and standard error, the
AT lines the phone received, the SDK trace and what became of ofonod. Every process is stopped
by its process id, also when a step fails. The machinery (buses, daemons, bounds) is
realstack.py's.

Options:
  --status N          the console's exit status (default 0)
  --device ADDR       the phone's address (default AA:BB:CC:DD:EE:FF; its name is "Test Phone")
  --at TEXT           a line of the phone's AT log holds TEXT, after the line that matched the
                      option before (repeatable: the lines come in this order)
  --no-at TEXT        no line of the phone's AT log holds TEXT (repeatable)
  --trace-has TEXT    the SDK trace holds TEXT (repeatable)
  --stderr-has TEXT   the console's standard error holds TEXT (repeatable)
  --env NAME=VALUE    set for the console (repeatable)
  --ofonod-may-crash  ofonod may end by itself during the run (its fate is printed)
  --when LOG:TEXT:ACTION  while the console runs, once a line of LOG (trace: the SDK trace; at:
                      the phone's AT log; ofonod: ofonod's output) holds TEXT, do ACTION:
                      phone=WORDS (kobalt-phone WORDS, to the simulated phone), ofonod=SIGNAL
                      (send SIGSEGV, SIGKILL or SIGTERM to ofonod), drop=link (the phone's link
                      closes: serve-ag is stopped), calls=METHOD (oFono's VoiceCallManager
                      METHOD, without arguments, called by the test as another oFono client
                      would), sleep=MS (wait, then go on
                      with the next trigger). Triggers fire once each, in the order given: a
                      trigger waits for the one before it.
"""

import argparse
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import realstack
from realstack import BOUND, PYTHON, Daemons, Failure

OFONOD = '/usr/sbin/ofonod'
HERE = os.path.dirname(os.path.abspath(__file__))
HF_PROFILE = 'RegisterProfile "/bluetooth/profile/hfp_hf"'


def read(path):
    return open(path, errors='replace').read() if os.path.exists(path) else ''


def wait_until(what, condition, process=None):
    deadline = time.monotonic() + BOUND
    while not condition():
        if process is not None and process.poll() is not None:
            raise Failure(f'{what}: the process ended with status {process.returncode}')
        if time.monotonic() > deadline:
            raise Failure(f'{what}: not within {BOUND} s')
        time.sleep(0.02)


def start_stack(args, folder, daemons, env):
    """The bus, the BlueZ stand-in, the phone and ofonod; returns the bus connection."""
    if not os.access(OFONOD, os.X_OK):
        raise Failure(f'{OFONOD} is not installed: these tests need the real oFono (Debian '
                      'package ofono; scripts/install-deps.sh installs it)')
    address = realstack.start_bus('system', folder, daemons, env)
    env['DBUS_SYSTEM_BUS_ADDRESS'] = address
    os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = address
    import dbus  # after the address is set, so the module's system bus is ours
    bus = dbus.bus.BusConnection(address)

    ag_socket = os.path.join(folder, 'ag.sock')
    bluez = daemons.start('bluez stand-in',
                          [PYTHON, '-m', 'dbusmock', '--system', '--template',
                           os.path.join(HERE, 'bluez_ag.py'), '-p',
                           '{"ag_socket": "%s"}' % ag_socket,
                           '-l', os.path.join(folder, 'bluez.log')], env,
                          stdout=subprocess.DEVNULL)
    realstack.wait_for_name(bus, 'org.bluez', bluez)
    mock = dbus.Interface(bus.get_object('org.bluez', '/'), 'org.bluez.Mock')
    mock.AddAdapter('hci0', 'kobalt-test')
    mock.AddDevice('hci0', args.device, 'Test Phone')
    mock.PairDevice('hci0', args.device, dbus.UInt32(5898764))

    world = os.path.join(folder, 'phone.world')
    with open(world, 'w') as f:
        f.write(f'device {args.device} "Test Phone" hf,pbap paired in-range\n')
    phone = daemons.start('phone', [args.phone, 'serve-ag', '--world', world, '--device',
                                    args.device, '--log', os.path.join(folder, 'at.log'),
                                    ag_socket], env,
                          stdout=subprocess.DEVNULL,
                          stderr=open(os.path.join(folder, 'phone.err'), 'wb'))
    wait_until('the phone\'s audio gateway socket', lambda: os.path.exists(ag_socket), phone)

    ofonod = daemons.start('ofonod', [OFONOD, '-n', '-d', '-p', 'hfp_bluez5,hfpmodem'],
                           dict(env, OFONO_AT_DEBUG='1'), stdin=subprocess.DEVNULL,
                           stdout=open(os.path.join(folder, 'ofonod.log'), 'wb'),
                           stderr=subprocess.STDOUT)
    wait_until('ofonod registering its hands-free profile with BlueZ',
               lambda: HF_PROFILE in read(os.path.join(folder, 'bluez.log')), ofonod)
    return bus


def act(action, daemons, env, folder, phone, bus, modem):
    name, _, value = action.partition('=')
    if name == 'calls':
        # Another oFono client acts on the calls (a merge, say): the library follows.
        import dbus
        manager = dbus.Interface(bus.get_object('org.ofono', modem, introspect=False),
                                 'org.ofono.VoiceCallManager')
        getattr(manager, value)(timeout=BOUND)
    elif name == 'phone':
        result = subprocess.run([phone] + shlex.split(value), env=env, capture_output=True,
                                timeout=BOUND, check=False)
        with open(os.path.join(folder, 'actions.log'), 'ab') as log:
            log.write(f'phone {value}: {result.returncode}\n'.encode() + result.stdout +
                      result.stderr)
    elif name == 'ofonod':
        number = {'SIGSEGV': signal.SIGSEGV, 'SIGKILL': signal.SIGKILL,
                  'SIGTERM': signal.SIGTERM}.get(value)
        if number is None:
            raise Failure(f'unknown signal {value!r}')
        for process_name, process in daemons.processes:
            if process_name == 'ofonod' and process.poll() is None:
                process.send_signal(number)
    elif name == 'drop':
        # The phone's link closes: serve-ag ends (its control commands keep the AG link).
        for process_name, process in daemons.processes:
            if process_name == 'phone' and process.poll() is None:
                process.send_signal(signal.SIGTERM)
    elif name == 'sleep':
        time.sleep(int(value) / 1000)
    else:
        raise Failure(f'unknown action {action!r}')


def check_at(folder, wanted, unwanted):
    lines = read(os.path.join(folder, 'at.log')).splitlines()
    position = 0
    for text in wanted:
        found = next((i for i in range(position, len(lines)) if text in lines[i]), None)
        if found is None:
            raise Failure(f'the phone received no line with {text!r} after line {position}')
        position = found + 1
    for text in unwanted:
        if any(text in line for line in lines):
            raise Failure(f'the phone\'s AT log has a line with {text!r}')


def report(folder):
    for name, title, count in (('trace.log', 'the SDK trace', 30), ('at.log', 'the AT log', 40),
                               ('ofonod.log', 'ofonod\'s output', 90),
                               ('phone.err', 'the phone\'s errors', 10),
                               ('actions.log', 'the actions', 20)):
        lines = read(os.path.join(folder, name)).splitlines()
        if lines:
            print(f'realofono: the end of {title}:\n' + '\n'.join(lines[-count:]),
                  file=sys.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--console', required=True)
    parser.add_argument('--phone', required=True)
    parser.add_argument('--script', required=True)
    parser.add_argument('--status', type=int, default=0)
    parser.add_argument('--device', default='AA:BB:CC:DD:EE:FF')
    parser.add_argument('--at', action='append', default=[])
    parser.add_argument('--no-at', action='append', default=[])
    parser.add_argument('--trace-has', action='append', default=[])
    parser.add_argument('--stderr-has', action='append', default=[])
    parser.add_argument('--env', action='append', default=[])
    parser.add_argument('--ofonod-may-crash', action='store_true')
    parser.add_argument('--when', action='append', default=[])
    args = parser.parse_args()

    folder = tempfile.mkdtemp(prefix='kbro-')  # short: the runtime folder's length is bounded
    daemons = Daemons()
    env = dict(os.environ)
    env['XDG_CONFIG_HOME'] = os.path.join(folder, 'config')
    # The phone's control socket and the console's queues meet no other test's.
    env['XDG_RUNTIME_DIR'] = os.path.join(folder, 'run')
    os.mkdir(env['XDG_RUNTIME_DIR'], 0o700)
    env.pop('DBUS_SESSION_BUS_ADDRESS', None)
    try:
        bus = start_stack(args, folder, daemons, env)
        modem = '/hfp/org/bluez/hci0/dev_' + args.device.replace(':', '_').upper()
        console_env = dict(env, KOBALT_SIM_TRACE=os.path.join(folder, 'trace.log'))
        # The script's own `phone ...` commands go to the served phone.
        console_env['KOBALT_PHONE_PID'] = str(
            next(p for n, p in daemons.processes if n == 'phone').pid)
        for item in args.env:
            name, _, value = item.partition('=')
            console_env[name] = value
        triggers = []
        for item in args.when:
            log, rest = item.split(':', 1)
            # TEXT and the action's words may hold colons (addresses): the action starts at
            # the last ":NAME=" of a known action.
            match = re.fullmatch(r'(.*):((?:phone|ofonod|sleep|drop|calls)=.*)', rest)
            if match is None:
                raise Failure(f'--when {item!r}: no action')
            text, action = match.groups()
            triggers.append((os.path.join(folder, log + '.log'), text, action))
        ofonod = next(p for n, p in daemons.processes if n == 'ofonod')
        output = os.path.join(folder, 'console.out')
        with open(output, 'wb') as out, open(output + '.err', 'wb') as err:
            console = daemons.start('console', [args.console, '--sdk', 'bluez', '--script',
                                                args.script],
                                    console_env, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=err)
            deadline = time.monotonic() + 60
            while console.poll() is None:
                if time.monotonic() > deadline:
                    raise Failure('the console did not end within 60 s')
                while triggers and triggers[0][1] in read(triggers[0][0]):
                    act(triggers.pop(0)[2], daemons, env, folder, args.phone, bus, modem)
                time.sleep(0.02)
        realstack.check_console(console, output, triggers, args.status, args.stderr_has)
        realstack.check_trace(folder, args.trace_has)
        check_at(folder, args.at, args.no_at)
        killed = any(':ofonod=' in w for w in args.when)
        if ofonod.poll() is not None:
            fate = f'ofonod ended with status {ofonod.returncode}'
            print(f'realofono: {fate}', file=sys.stderr)
            if not killed and not args.ofonod_may_crash:
                raise Failure(fate)
    except (Failure, subprocess.TimeoutExpired, OSError) as failure:
        print(f'realofono: FAILED: {failure}', file=sys.stderr)
        report(folder)
        return 1
    finally:
        daemons.stop()
        if not os.environ.get('REALOFONO_KEEP'):
            shutil.rmtree(folder, ignore_errors=True)
    print('realofono: passed', file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main())
