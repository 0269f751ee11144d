#!/usr/bin/env node
// Reads ONVIF devices with the npm `onvif` package, an ONVIF client written
// independently of ours, and prints what it found as JSON.
//
//   node check.js [--user U] [--password P] [--probe] [--probe-ms N]
//                 [--timeout-ms N] [--expect FILE] [XADDR ...]
//
// --probe sends one multicast Probe (239.255.255.250:3702) and reads every
// device that answers; it is refused outside a namespace made by `ip netns`.
// XADDRs (http://host:port/path) are read without a probe. Each device is read
// twice: as the package does by default (a WS-Security UsernameToken, and
// HTTP Digest when the device challenges) and with HTTP Digest alone.
// --expect FILE: JSON {"devices": [{serialNumber, manufacturer, model,
// firmwareVersion, hardwareId, hwAddress, address, prefixLength, dhcp, xaddr}]}
// that the devices found must match, each exactly once.
// Exit status: 0 all well, 1 a device missing, different or unreadable,
// 2 bad usage, 3 the whole run took too long.
'use strict';

const dgram = require('dgram');
const fs = require('fs');
const { Cam, Discovery } = require('onvif');

const kDeadlineMs = 90000;

function usage(message) {
	process.stderr.write(`check.js: ${message}\n`);
	process.exit(2);
}

function parseArgs(argv) {
	const options = { user: 'admin', password: '', probe: false, probeMs: 3000, timeoutMs: 5000,
		expect: null, xaddrs: [] };
	const number = (text, name) => {
		const value = Number(text);
		if (!Number.isInteger(value) || value < 100 || value > 60000) usage(`${name} must be 100..60000 ms`);
		return value;
	};
	for (let i = 0; i < argv.length; ++i) {
		const arg = argv[i];
		const value = () => (i + 1 < argv.length ? argv[++i] : usage(`${arg} needs a value`));
		if (arg === '--user') options.user = value();
		else if (arg === '--password') options.password = value();
		else if (arg === '--probe') options.probe = true;
		else if (arg === '--probe-ms') options.probeMs = number(value(), arg);
		else if (arg === '--timeout-ms') options.timeoutMs = number(value(), arg);
		else if (arg === '--expect') options.expect = value();
		else if (arg.startsWith('--')) usage(`unknown option ${arg}`);
		else options.xaddrs.push(arg);
	}
	if (!options.probe && options.xaddrs.length === 0) usage('give --probe or at least one XAddr');
	return options;
}

// Multicast stays inside namespaces that a test made with `ip netns add`:
// this process's network namespace must be one of those named in /run/netns.
function inNamedNetworkNamespace() {
	try {
		const self = fs.statSync('/proc/self/ns/net');
		return fs.readdirSync('/run/netns').some((name) => {
			const named = fs.statSync(`/run/netns/${name}`);
			return named.ino === self.ino && named.dev === self.dev;
		});
	} catch (e) {
		return false;
	}
}

function uuid() {
	return require('crypto').randomUUID();
}

// The package keeps one device per endpoint address and does not match
// RelatesTo to its probe, so a duplicate or stray answer would pass unseen.
// Every datagram that reaches the probe's socket is kept here and checked.
function probe(probeMs) {
	const messageId = uuid();
	const datagrams = [];
	const createSocket = dgram.createSocket;
	dgram.createSocket = function(...args) {
		const socket = createSocket.apply(this, args);
		socket.on('message', (msg, rinfo) => datagrams.push({ text: msg.toString('utf8'), from: rinfo.address }));
		return socket;
	};
	const problems = [];
	const onError = (error) => problems.push(String(error));
	Discovery.on('error', onError);
	return new Promise((resolve) => {
		// resolve: false gives the parsed answers; with the default the package
		// makes a Cam per answer that connects at once without credentials.
		Discovery.probe({ timeout: probeMs, resolve: false, messageId }, (errors, matches) => {
			dgram.createSocket = createSocket;
			Discovery.removeListener('error', onError);
			for (const e of errors || []) problems.push(String(e));
			resolve({ messageId: `urn:uuid:${messageId}`, datagrams, matches: matches || [], problems });
		});
	});
}

function firstText(text, pattern) {
	const found = pattern.exec(text);
	return found ? found[1].trim() : null;
}

// One entry per endpoint: its XAddrs and how many answers named it.
function summariseProbe(result) {
	const endpoints = new Map();
	const problems = [...result.problems];
	for (const d of result.datagrams) {
		const relatesTo = firstText(d.text, /<(?:[\w.-]+:)?RelatesTo[^>]*>([^<]*)</);
		const address = firstText(d.text, /EndpointReference>\s*<(?:[\w.-]+:)?Address>([^<]*)</);
		if (relatesTo !== result.messageId) problems.push(`answer from ${d.from} relates to ${relatesTo}`);
		if (address === null) {
			problems.push(`answer from ${d.from} names no endpoint`);
			continue;
		}
		const entry = endpoints.get(address) || { urn: address, answers: 0, xaddrs: [], from: d.from };
		entry.answers += 1;
		endpoints.set(address, entry);
	}
	for (const match of result.matches) {
		const m = match.probeMatches && match.probeMatches.probeMatch;
		const urn = m && m.endpointReference && m.endpointReference.address;
		const entry = endpoints.get(urn);
		if (!entry) {
			problems.push(`the package reported ${urn}, which no datagram named`);
			continue;
		}
		entry.xaddrs = String(m.XAddrs || '').split(/\s+/).filter(Boolean);
		entry.types = String(m.types || '');
	}
	for (const entry of endpoints.values()) {
		if (entry.answers !== 1) problems.push(`${entry.urn} answered ${entry.answers} times`);
		if (entry.xaddrs.length === 0) problems.push(`${entry.urn} gave no XAddrs`);
	}
	return { endpoints: [...endpoints.values()], problems };
}

function call(cam, method) {
	return new Promise((resolve, reject) => {
		cam[method]((error, value) => (error ? reject(error) : resolve(value)));
	});
}

// Connects as a user of the package does (GetSystemDateAndTime, then
// GetServices), then reads the device information and network interfaces.
async function readDevice(xaddr, options, useWSSecurity) {
	const url = new URL(xaddr);
	const cam = new Cam({
		hostname: url.hostname,
		port: Number(url.port || 80),
		path: url.pathname,
		username: options.user,
		password: options.password,
		timeout: options.timeoutMs,
		useWSSecurity,
		autoconnect: false,
	});
	const sent = [];
	cam.on('rawRequest', (body) => sent.push(firstText(body, /<s:Body[^>]*>\s*<(\w+)/) || '?'));
	await new Promise((resolve, reject) => cam.connect((error) => (error ? reject(error) : resolve())));
	const info = await call(cam, 'getDeviceInformation');
	const interfaces = await call(cam, 'getNetworkInterfaces');
	return {
		// The package turns texts that look like numbers into numbers.
		serialNumber: String(info.serialNumber),
		manufacturer: String(info.manufacturer),
		model: String(info.model),
		firmwareVersion: String(info.firmwareVersion),
		hardwareId: String(info.hardwareId),
		interfaces: interfaces.map((n) => {
			const ipv4 = (n.IPv4 && n.IPv4.config) || {};
			const entry = ipv4.manual || ipv4.fromDHCP || {};
			return {
				token: n.$ && n.$.token,
				hwAddress: n.info && String(n.info.hwAddress),
				address: String(entry.address),
				prefixLength: entry.prefixLength,
				dhcp: ipv4.DHCP === true,
			};
		}),
		operations: sent,
	};
}

async function readBothWays(xaddr, options) {
	const device = { xaddr };
	for (const [name, useWSSecurity] of [['usernameToken', true], ['httpDigest', false]]) {
		try {
			device[name] = await readDevice(xaddr, options, useWSSecurity);
		} catch (error) {
			device[name] = { error: String(error && error.message || error) };
		}
	}
	return device;
}

// What one device's reads should have shown, or the reasons they did not.
function compare(device, wanted) {
	const problems = [];
	for (const way of ['usernameToken', 'httpDigest']) {
		const got = device[way];
		if (got.error) {
			problems.push(`${device.xaddr} by ${way}: ${got.error}`);
			continue;
		}
		if (!wanted) continue;
		for (const key of ['serialNumber', 'manufacturer', 'model', 'firmwareVersion', 'hardwareId']) {
			if (got[key] !== wanted[key]) problems.push(`${device.xaddr} by ${way}: ${key} ${got[key]} != ${wanted[key]}`);
		}
		const n = got.interfaces.length === 1 ? got.interfaces[0] : null;
		if (!n) {
			problems.push(`${device.xaddr} by ${way}: ${got.interfaces.length} interfaces`);
			continue;
		}
		for (const key of ['hwAddress', 'address', 'prefixLength', 'dhcp']) {
			if (n[key] !== wanted[key]) problems.push(`${device.xaddr} by ${way}: ${key} ${n[key]} != ${wanted[key]}`);
		}
	}
	return problems;
}

async function main() {
	const options = parseArgs(process.argv.slice(2));
	const expected = options.expect ? JSON.parse(fs.readFileSync(options.expect, 'utf8')).devices : null;
	const report = { discovery: null, devices: [], problems: [] };
	const xaddrs = [...options.xaddrs];
	if (options.probe) {
		if (!inNamedNetworkNamespace()) usage('--probe runs only inside a namespace made by ip netns (ip netns exec)');
		const found = summariseProbe(await probe(options.probeMs));
		report.discovery = found.endpoints;
		report.problems.push(...found.problems);
		for (const e of found.endpoints) if (e.xaddrs.length > 0) xaddrs.push(e.xaddrs[0]);
	}
	for (const xaddr of xaddrs) report.devices.push(await readBothWays(xaddr, options));

	const bySerial = new Map((expected || []).map((d) => [d.serialNumber, d]));
	const seen = new Map();
	for (const device of report.devices) {
		const serial = device.usernameToken.serialNumber || device.httpDigest.serialNumber;
		const wanted = bySerial.get(serial);
		if (expected && serial !== undefined && !wanted) report.problems.push(`${device.xaddr}: unexpected serial ${serial}`);
		if (wanted && wanted.xaddr !== device.xaddr) report.problems.push(`${serial}: XAddr ${device.xaddr} != ${wanted.xaddr}`);
		if (serial !== undefined) seen.set(serial, (seen.get(serial) || 0) + 1);
		report.problems.push(...compare(device, wanted));
	}
	for (const serial of bySerial.keys()) {
		if (seen.get(serial) !== 1) report.problems.push(`${serial} read ${seen.get(serial) || 0} times`);
	}
	if (report.devices.length === 0) report.problems.push('no device');
	process.stdout.write(JSON.stringify(report, null, 2) + '\n');
	return report.problems.length === 0 ? 0 : 1;
}

const deadline = setTimeout(() => {
	process.stderr.write(`check.js: not done after ${kDeadlineMs} ms\n`);
	process.exit(3);
}, kDeadlineMs);
deadline.unref();
main().then((code) => { process.exitCode = code; }, (error) => {
	process.stderr.write(`check.js: ${error && error.stack || error}\n`);
	process.exitCode = 1;
});
